#include <windows.h>
// After windows.h, which it needs.
#include <process.h>
#include <psapi.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "orj/core/base/child_process.h"

namespace orj {

namespace {

// What run_within_child_limits reads: the stack its work gets (Windows takes
// the main thread's from the program's file) and the processor time it
// watches.
const char *STACK_VARIABLE = "ORJ_CHILD_STACK_BYTES";
const char *CPU_VARIABLE = "ORJ_CHILD_CPU_SECONDS";
// How often memory, time and the report are looked at.
const DWORD WATCH_MS = 50;
// The exit code of a child ended for a limit (by its caller or by itself).
const UINT LIMIT_EXIT_CODE = 0xC0000044;  // STATUS_QUOTA_EXCEEDED

std::wstring wide_from_utf8(const std::string &text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], length);
    return wide;
}

std::string utf8_from_wide(const std::wstring &wide)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &text[0], length, nullptr, nullptr);
    return text;
}

std::string windows_error_text(DWORD code)
{
    char *text = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, (char *)&text, 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "Windows error " + std::to_string(code) : message;
}

// One argument quoted so that the C runtime's command-line parser gives it
// back unchanged: backslashes are literal except before a quote.
void append_quoted(std::wstring *line, const std::wstring &argument)
{
    if (!line->empty()) line->push_back(L' ');
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line->append(argument);
        return;
    }
    line->push_back(L'"');
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            backslashes++;
            continue;
        }
        line->append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line->push_back(c);
    }
    line->append(2 * backslashes, L'\\');
    line->push_back(L'"');
}

bool same_name(const std::wstring &entry, const std::wstring &assignment)
{
    size_t equals = assignment.find(L'=');
    if (entry.size() <= equals || entry[equals] != L'=') return false;
    for (size_t i = 0; i < equals; i++)
        if (towupper(entry[i]) != towupper(assignment[i])) return false;
    return true;
}

// The caller's environment block with the assignments in place of the
// variables of the same names (Windows compares names without case).
std::vector<wchar_t> child_environment(const std::vector<std::string> &assignments)
{
    std::vector<std::wstring> wide;
    for (const std::string &assignment : assignments) wide.push_back(wide_from_utf8(assignment));
    std::vector<wchar_t> block;
    wchar_t *strings = GetEnvironmentStringsW();
    for (const wchar_t *entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
        bool replaced = false;
        for (const std::wstring &assignment : wide) replaced = replaced || same_name(entry, assignment);
        if (!replaced) block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    if (strings) FreeEnvironmentStringsW(strings);
    for (const std::wstring &assignment : wide) {
        block.insert(block.end(), assignment.begin(), assignment.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// A job that holds the child within its limits and ends it when the caller
// ends (its handle closes with the caller).
HANDLE make_job(const ChildLimits &limits)
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION information = {};
    DWORD flags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (limits.memory_bytes > 0) {
        flags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        information.ProcessMemoryLimit = (SIZE_T)limits.memory_bytes;
    }
    if (limits.cpu_seconds > 0) {
        flags |= JOB_OBJECT_LIMIT_PROCESS_TIME;
        information.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart = limits.cpu_seconds * 10000000LL;
    }
    information.BasicLimitInformation.LimitFlags = flags;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &information, sizeof information)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

double seconds_of(const FILETIME &time)
{
    return (double)(((uint64_t)time.dwHighDateTime << 32) | time.dwLowDateTime) / 1e7;
}

// Processor time (user and kernel) the process has used so far.
double cpu_seconds_of(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return seconds_of(kernel) + seconds_of(user);
}

// Memory the process takes (what it committed, or what it has in memory if
// that is more: Wine tells only that of another process), and the most it
// has had in memory.
void memory_of(HANDLE process, int64_t *taken, int64_t *peak_resident)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters)) return;
    *taken =
        (int64_t)(counters.PrivateUsage > counters.WorkingSetSize ? counters.PrivateUsage : counters.WorkingSetSize);
    if ((int64_t)counters.PeakWorkingSetSize > *peak_resident) *peak_resident = (int64_t)counters.PeakWorkingSetSize;
}

void drain_report(HANDLE pipe, std::string *report)
{
    DWORD available = 0;
    while (pipe && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0)
            return;
        report->append(buffer, got);
    }
}

struct ChildHandles {
    HANDLE report_read = nullptr, report_write = nullptr, null_device = nullptr, error_output = nullptr;
};

void close_handles(ChildHandles *handles)
{
    for (HANDLE *handle :
         {&handles->report_read, &handles->report_write, &handles->null_device, &handles->error_output})
        if (*handle) CloseHandle(*handle);
    *handles = ChildHandles();
}

// The report pipe (its write end inherited) and, for a quiet child, the
// null device and the caller's standard error as inheritable handles.
bool open_handles(const ChildCommand &command, ChildHandles *handles, STARTUPINFOW *startup)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    if (!command.report_variable.empty()) {
        if (!CreatePipe(&handles->report_read, &handles->report_write, &inherited, 0)) return false;
        SetHandleInformation(handles->report_read, HANDLE_FLAG_INHERIT, 0);
    }
    if (command.quiet) {
        handles->null_device = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inherited, OPEN_EXISTING, 0, nullptr);
        if (handles->null_device == INVALID_HANDLE_VALUE) {
            handles->null_device = nullptr;
            return false;
        }
        HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        if (error && error != INVALID_HANDLE_VALUE)
            DuplicateHandle(GetCurrentProcess(), error, GetCurrentProcess(), &handles->error_output, 0, TRUE,
                            DUPLICATE_SAME_ACCESS);
        startup->dwFlags |= STARTF_USESTDHANDLES;
        startup->hStdInput = handles->null_device;
        startup->hStdOutput = handles->null_device;
        startup->hStdError = handles->error_output;
    }
    return true;
}

// Starts the child suspended, puts it in the job (so that nothing it starts
// escapes it) and leaves it suspended; false, with the system's error code
// in *code, when it cannot be started or put in the job.
bool start_in_job(const ChildCommand &command, const ChildHandles &handles, HANDLE job, STARTUPINFOW *startup,
                  PROCESS_INFORMATION *process, DWORD *code)
{
    std::vector<std::string> assignments = command.environment;
    if (handles.report_write)
        assignments.push_back(command.report_variable + "=" + std::to_string((uintptr_t)handles.report_write));
    // Always set, so that a child never takes its caller's own limits for its own.
    assignments.push_back(std::string(STACK_VARIABLE) + "=" +
                          std::to_string(std::max<int64_t>(command.limits.stack_bytes, 0)));
    assignments.push_back(std::string(CPU_VARIABLE) + "=" +
                          std::to_string(std::max<int64_t>(command.limits.cpu_seconds, 0)));
    std::vector<wchar_t> environment = child_environment(assignments);
    std::wstring line;
    for (const std::string &argument : command.arguments) append_quoted(&line, wide_from_utf8(argument));
    if (command.arguments.empty()) append_quoted(&line, wide_from_utf8(command.program));
    std::vector<wchar_t> writable_line(line.begin(), line.end());
    writable_line.push_back(L'\0');
    if (!CreateProcessW(wide_from_utf8(command.program).c_str(), writable_line.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, startup, process)) {
        *code = GetLastError();
        return false;
    }
    if (AssignProcessToJobObject(job, process->hProcess)) return true;
    *code = GetLastError();
    TerminateProcess(process->hProcess, 1);
    WaitForSingleObject(process->hProcess, INFINITE);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return false;
}

// Why the caller ended the child, if it did.
enum WatchVerdict {
    WATCH_RUNNING,
    WATCH_MEMORY,
    WATCH_CPU,
    WATCH_TIME,
};

// Waits for the child, reading its report. The job holds its limits; the
// caller watches them too, for systems whose jobs do not enforce them (Wine
// enforces neither, and tells no other process's processor time: there the
// child watches its own, run_within_child_limits).
WatchVerdict watch_child(HANDLE process, HANDLE report, const ChildLimits &limits, ChildResult *result)
{
    ULONGLONG start = GetTickCount64();
    WatchVerdict verdict = WATCH_RUNNING;
    for (;;) {
        DWORD waited = WaitForSingleObject(process, WATCH_MS);
        drain_report(report, &result->report);
        int64_t taken = 0;
        memory_of(process, &taken, &result->peak_memory_bytes);
        if (waited != WAIT_TIMEOUT) break;
        if (limits.memory_bytes > 0 && taken > limits.memory_bytes) verdict = WATCH_MEMORY;
        else if (limits.cpu_seconds > 0 && cpu_seconds_of(process) >= (double)limits.cpu_seconds) verdict = WATCH_CPU;
        else if (limits.wall_seconds > 0 && (double)(GetTickCount64() - start) / 1000.0 >= limits.wall_seconds)
            verdict = WATCH_TIME;
        if (verdict != WATCH_RUNNING) {
            TerminateProcess(process, LIMIT_EXIT_CODE);
            WaitForSingleObject(process, INFINITE);
            break;
        }
    }
    drain_report(report, &result->report);
    return verdict;
}

// How the child ended, from its exit code and the caller's watch.
void classify_end(DWORD code, WatchVerdict verdict, const ChildLimits &limits, ChildResult *result)
{
    if (verdict == WATCH_MEMORY) result->end = CHILD_MEMORY_LIMIT;
    else if (verdict == WATCH_TIME) result->end = CHILD_TIME_LIMIT;
    else if (verdict == WATCH_CPU || (limits.cpu_seconds > 0 && code != 0 &&
                                      (code == LIMIT_EXIT_CODE || result->cpu_seconds >= (double)limits.cpu_seconds)))
        result->end = CHILD_CPU_LIMIT;
    else if (code == (DWORD)STATUS_CONTROL_C_EXIT) {
        result->end = CHILD_SIGNALLED;
        result->signal = SIGINT;
    } else if ((code & 0xC0000000u) == 0xC0000000u || code == (DWORD)STATUS_BREAKPOINT) {
        // NTSTATUS error codes: an exception nothing handled.
        result->end = CHILD_SIGNALLED;
        result->signal = (int)code;
    } else {
        result->end = CHILD_EXITED;
        result->exit_status = (int)code;
    }
}

}  // namespace

ErrorKind run_child_process(const ChildCommand &command, ChildResult *result, Error *error)
{
    *result = ChildResult();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ChildHandles handles;
    if (!open_handles(command, &handles, &startup)) {
        DWORD code = GetLastError();
        close_handles(&handles);
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s",
                         windows_error_text(code).c_str());
    }
    HANDLE job = make_job(command.limits);
    DWORD code = job ? 0 : GetLastError();
    PROCESS_INFORMATION process = {};
    bool started = job && start_in_job(command, handles, job, &startup, &process, &code);
    // The child holds its own copies now: its report ends when it ends.
    HANDLE report = handles.report_read;
    handles.report_read = nullptr;
    close_handles(&handles);
    if (!started) {
        if (report) CloseHandle(report);
        if (job) CloseHandle(job);
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run%s: %s",
                         job ? "" : " within limits", windows_error_text(code).c_str());
    }
    // Ctrl+C reaches the child as well: it decides what that means, and the
    // caller stays to clean up after it. Set after the child started, which
    // would otherwise inherit it.
    SetConsoleCtrlHandler(nullptr, TRUE);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WatchVerdict verdict = watch_child(process.hProcess, report, command.limits, result);
    SetConsoleCtrlHandler(nullptr, FALSE);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    result->cpu_seconds = cpu_seconds_of(process.hProcess);
    classify_end(exit_code, verdict, command.limits, result);
    CloseHandle(process.hProcess);
    if (report) CloseHandle(report);
    CloseHandle(job);
    return ERROR_NONE;
}

std::string signal_name(int signal)
{
    if (signal == SIGINT) return "SIGINT";
    uint32_t code = (uint32_t)signal;
    const char *what = code == 0xC0000005u   ? "access violation"
                       : code == 0xC00000FDu ? "stack overflow"
                       : code == 0xC0000094u ? "integer division by zero"
                       : code == 0xC000001Du ? "illegal instruction"
                       : code == 0xC0000409u ? "fail-fast exit"
                       : code == 0xC0000017u ? "no memory"
                       : code == 0x80000003u ? "breakpoint"
                                             : "exception";
    char text[80];
    if (strcmp(what, "exception") == 0) snprintf(text, sizeof text, "exception 0x%08X", (unsigned)code);
    else snprintf(text, sizeof text, "%s (exception 0x%08X)", what, (unsigned)code);
    return text;
}

int64_t physical_memory_bytes()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? (int64_t)status.ullTotalPhys : 0;
}

static HANDLE report_handle(const char *variable)
{
    const char *value = getenv(variable);
    if (!value || *value < '0' || *value > '9') return nullptr;
    return (HANDLE)(uintptr_t)strtoull(value, nullptr, 10);
}

bool child_report_open(const char *variable) { return report_handle(variable) != nullptr; }

void child_report_line(const char *variable, const std::string &line)
{
    HANDLE handle = report_handle(variable);
    if (!handle) return;
    std::string text = line + "\n";
    for (size_t done = 0; done < text.size();) {
        DWORD wrote = 0;
        if (!WriteFile(handle, text.data() + done, (DWORD)(text.size() - done), &wrote, nullptr) || wrote == 0) return;
        done += wrote;
    }
}

namespace {

struct StackWork {
    int (*work)(void *context);
    void *context;
    int result;
};

unsigned __stdcall run_stack_work(void *argument)
{
    StackWork *work = (StackWork *)argument;
    work->result = work->work(work->context);
    return 0;
}

}  // namespace

int run_within_child_limits(int (*work)(void *context), void *context)
{
    const char *stack_value = getenv(STACK_VARIABLE), *cpu_value = getenv(CPU_VARIABLE);
    unsigned long long stack = stack_value ? strtoull(stack_value, nullptr, 10) : 0;
    double cpu_limit = cpu_value ? strtod(cpu_value, nullptr) : 0;
    if (stack > UINT_MAX) stack = 0;
    if (stack == 0 && cpu_limit <= 0) return work(context);
    StackWork stack_work = {work, context, 1};
    // Reserved, not committed: the stack costs only what the work uses.
    uintptr_t thread = _beginthreadex(nullptr, (unsigned)stack, run_stack_work, &stack_work,
                                      stack > 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
    if (thread == 0) return work(context);
    while (WaitForSingleObject((HANDLE)thread, WATCH_MS) == WAIT_TIMEOUT)
        if (cpu_limit > 0 && cpu_seconds_of(GetCurrentProcess()) >= cpu_limit)
            TerminateProcess(GetCurrentProcess(), LIMIT_EXIT_CODE);
    CloseHandle((HANDLE)thread);
    return stack_work.result;
}

std::string find_own_program()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), (DWORD)path.size());
        if (length == 0) return std::string();
        if (length < path.size()) return utf8_from_wide(std::wstring(path.data(), length));
        path.resize(path.size() * 2);
    }
}

std::string find_program_beside(const char *name)
{
    std::string own = find_own_program();
    size_t separator = own.find_last_of("\\/");
    if (separator == std::string::npos) return std::string(name) + ".exe";
    return own.substr(0, separator + 1) + name + ".exe";
}

}  // namespace orj
