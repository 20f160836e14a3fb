#include "app/run_importer_windows.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

static std::wstring wide_from_utf8(const char *text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> wide((size_t)length);
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return std::wstring(wide.data());
}

// One argument quoted so that the C runtime's command-line parser gives it
// back unchanged: backslashes are literal except before a quote.
static void append_quoted(std::wstring *line, const std::wstring &argument)
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

static std::wstring importer_path()
{
    std::vector<wchar_t> self(MAX_PATH);
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, self.data(), (DWORD)self.size())) >= self.size())
        self.resize(self.size() * 2);
    std::wstring path(self.data(), length);
    size_t slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"orj-import.exe";
}

// A job that ends the importer when orj ends, as if they were one process.
static HANDLE job_ending_with_this_process()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

int run_importer_windows(char **argv)
{
    std::wstring program = importer_path(), line;
    for (char **argument = argv + 1; *argument; argument++) append_quoted(&line, wide_from_utf8(*argument));
    std::vector<wchar_t> writable_line(line.begin(), line.end());
    writable_line.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    HANDLE job = job_ending_with_this_process();
    // Suspended until it is in the job, so that nothing it starts escapes it.
    if (!CreateProcessW(program.c_str(), writable_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
        fprintf(stderr, "orj: cannot run orj-import.exe beside orj.exe (Windows error %lu)\n", GetLastError());
        if (job) CloseHandle(job);
        return 1;
    }
    if (job) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    // Ctrl+C reaches both processes; the importer decides what it means.
    SetConsoleCtrlHandler(nullptr, TRUE);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    if (job) CloseHandle(job);
    if (status == (DWORD)STATUS_CONTROL_C_EXIT) return 130;
    // Exception codes (access violation, stack overflow...) have the top bits set.
    if (status >= 0xC0000000u) {
        fprintf(stderr, "orj: orj-import.exe crashed (exception 0x%08lX)\n", (unsigned long)status);
        return 1;
    }
    return (int)status;
}
