#include "orj/core/base/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace orj {

namespace {

const int PASSED_ON[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int PASSED_ON_COUNT = (int)(sizeof PASSED_ON / sizeof PASSED_ON[0]);

volatile sig_atomic_t running_child = 0;

void pass_on(int signal)
{
    if (running_child > 0) kill((pid_t)running_child, signal);
}

// The environment the child gets: the caller's, with the assignments
// (NAME=VALUE) in place of the variables of the same names.
std::vector<std::string> child_environment(const std::vector<std::string> &assignments)
{
    std::vector<std::string> out;
    for (char **entry = environ; entry && *entry; entry++) {
        bool replaced = false;
        for (const std::string &assignment : assignments)
            replaced = replaced || strncmp(*entry, assignment.c_str(), assignment.find('=') + 1) == 0;
        if (!replaced) out.push_back(*entry);
    }
    out.insert(out.end(), assignments.begin(), assignments.end());
    return out;
}

std::vector<char *> pointers_to(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (std::string &text : strings) out.push_back(&text[0]);
    out.push_back(nullptr);
    return out;
}

void set_limit(int resource, rlim_t value, rlim_t hard)
{
    struct rlimit limit;
    if (getrlimit(resource, &limit) != 0) return;
    // Only root may raise a hard limit: stay within it.
    if (limit.rlim_max != RLIM_INFINITY && hard > limit.rlim_max) hard = limit.rlim_max;
    limit.rlim_cur = value < hard ? value : hard;
    limit.rlim_max = hard;
    setrlimit(resource, &limit);
}

// Between fork and exec: async-signal-safe calls only.
[[noreturn]] void become_child(const ChildCommand &command, char **argv, char **envp, int report_fd, int exec_error_fd)
{
    const ChildLimits &limits = command.limits;
    set_limit(RLIMIT_CORE, 0, 0);
    if (limits.memory_bytes > 0) set_limit(RLIMIT_AS, (rlim_t)limits.memory_bytes, (rlim_t)limits.memory_bytes);
    // The soft limit sends SIGXCPU; the hard one, a little later, SIGKILL.
    if (limits.cpu_seconds > 0) set_limit(RLIMIT_CPU, (rlim_t)limits.cpu_seconds, (rlim_t)limits.cpu_seconds + 2);
    if (limits.stack_bytes > 0) set_limit(RLIMIT_STACK, (rlim_t)limits.stack_bytes, RLIM_INFINITY);
    if (report_fd >= 0) fcntl(report_fd, F_SETFD, 0);
    int null_fd = command.quiet ? open("/dev/null", O_RDWR) : -1;
    if (null_fd >= 0) {
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDOUT_FILENO);
        if (null_fd > STDERR_FILENO) close(null_fd);
    }
    execve(command.program.c_str(), argv, envp);
    int cause = errno;
    ssize_t ignored = write(exec_error_fd, &cause, sizeof cause);
    (void)ignored;
    _exit(127);
}

void read_all(int fd, std::string *out)
{
    char buffer[4096];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) out->append(buffer, (size_t)got);
        else if (got == 0 || errno != EINTR) break;
    }
}

// Reads the report until the child closes it, then waits for the child; past
// wall_seconds (when above 0) the child is killed. True when it was.
bool collect_child(pid_t child, int report_fd, double wall_seconds, std::string *report, int *status,
                   struct rusage *usage)
{
    auto start = std::chrono::steady_clock::now();
    bool killed = false;
    for (;;) {
        int wait_ms = -1;
        if (wall_seconds > 0 && !killed) {
            double left =
                wall_seconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (left <= 0) {
                kill(child, SIGKILL);
                killed = true;
            } else {
                wait_ms = (int)(left < 0.05 ? 1 + 1000 * left : 50);
            }
        }
        if (report_fd >= 0) {
            struct pollfd ready = {report_fd, POLLIN, 0};
            if (poll(&ready, 1, killed ? -1 : wait_ms) <= 0) continue;
            char buffer[4096];
            ssize_t got = read(report_fd, buffer, sizeof buffer);
            if (got > 0) report->append(buffer, (size_t)got);
            else if (got == 0 || errno != EINTR) report_fd = -1;
            continue;
        }
        pid_t ended = wait4(child, status, wait_ms < 0 ? 0 : WNOHANG, usage);
        if (ended == child || (ended < 0 && errno != EINTR)) return killed;
        if (ended == 0) usleep(20000);
    }
}

// How the child ended, from its wait status and use of resources.
void classify_end(int status, const struct rusage &usage, bool out_of_time, const ChildLimits &limits,
                  ChildResult *result)
{
    result->cpu_seconds = (double)usage.ru_utime.tv_sec + (double)usage.ru_stime.tv_sec +
                          ((double)usage.ru_utime.tv_usec + (double)usage.ru_stime.tv_usec) / 1e6;
    result->peak_memory_bytes = (int64_t)usage.ru_maxrss * 1024;
    if (WIFEXITED(status)) {
        result->end = CHILD_EXITED;
        result->exit_status = WEXITSTATUS(status);
        return;
    }
    result->signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (out_of_time && result->signal == SIGKILL) {
        result->end = CHILD_TIME_LIMIT;
        return;
    }
    bool over_cpu =
        limits.cpu_seconds > 0 &&
        (result->signal == SIGXCPU || (result->signal == SIGKILL && result->cpu_seconds >= (double)limits.cpu_seconds));
    result->end = over_cpu ? CHILD_CPU_LIMIT : CHILD_SIGNALLED;
}

}  // namespace

ErrorKind run_child_process(const ChildCommand &command, ChildResult *result, Error *error)
{
    *result = ChildResult();
    int report[2] = {-1, -1}, exec_error[2] = {-1, -1};
    if ((!command.report_variable.empty() && pipe2(report, O_CLOEXEC) != 0) || pipe2(exec_error, O_CLOEXEC) != 0) {
        for (int fd : {report[0], report[1]})
            if (fd >= 0) close(fd);
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s", strerror(errno));
    }
    std::vector<std::string> arguments = command.arguments;
    if (arguments.empty()) arguments.push_back(command.program);
    std::vector<std::string> assignments = command.environment;
    if (!command.report_variable.empty())
        assignments.push_back(command.report_variable + "=" + std::to_string(report[1]));
    std::vector<std::string> environment = child_environment(assignments);
    std::vector<char *> argv = pointers_to(arguments), envp = pointers_to(environment);

    struct sigaction forward = {}, previous[PASSED_ON_COUNT];
    forward.sa_handler = pass_on;
    sigemptyset(&forward.sa_mask);
    for (int i = 0; i < PASSED_ON_COUNT; i++) sigaction(PASSED_ON[i], &forward, &previous[i]);
    pid_t child = fork();
    if (child == 0) become_child(command, argv.data(), envp.data(), report[1], exec_error[1]);
    int fork_errno = errno;
    running_child = child > 0 ? child : 0;
    if (report[1] >= 0) close(report[1]);
    close(exec_error[1]);

    int exec_errno = 0;
    std::string exec_report;
    int status = 0;
    struct rusage usage = {};
    bool out_of_time = false;
    if (child > 0) {
        read_all(exec_error[0], &exec_report);
        if (exec_report.size() >= sizeof exec_errno) memcpy(&exec_errno, exec_report.data(), sizeof exec_errno);
        out_of_time = collect_child(child, report[0], command.limits.wall_seconds, &result->report, &status, &usage);
    }
    close(exec_error[0]);
    if (report[0] >= 0) close(report[0]);
    running_child = 0;
    for (int i = 0; i < PASSED_ON_COUNT; i++) sigaction(PASSED_ON[i], &previous[i], nullptr);

    if (child < 0)
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s",
                         strerror(fork_errno));
    if (exec_errno != 0)
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s",
                         strerror(exec_errno));
    classify_end(status, usage, out_of_time, command.limits, result);
    return ERROR_NONE;
}

std::string signal_name(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGABRT:
        return "SIGABRT";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGKILL:
        return "SIGKILL";
    case SIGXCPU:
        return "SIGXCPU";
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGQUIT:
        return "SIGQUIT";
    case SIGPIPE:
        return "SIGPIPE";
    }
    return "signal " + std::to_string(signal);
}

int64_t physical_memory_bytes()
{
    long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
    return pages > 0 && page_size > 0 ? (int64_t)pages * page_size : 0;
}

static int report_descriptor(const char *variable)
{
    const char *value = getenv(variable);
    if (!value || *value < '0' || *value > '9') return -1;
    return atoi(value);
}

bool child_report_open(const char *variable) { return report_descriptor(variable) >= 0; }

void child_report_line(const char *variable, const std::string &line)
{
    int fd = report_descriptor(variable);
    if (fd < 0) return;
    std::string text = line + "\n";
    for (size_t done = 0; done < text.size();) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += (size_t)wrote;
    }
}

int run_within_child_limits(int (*work)(void *context), void *context) { return work(context); }

std::string find_own_program() { return "/proc/self/exe"; }

std::string find_program_beside(const char *name)
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return name;
    self[length] = '\0';
    const char *slash = strrchr(self, '/');
    return slash ? std::string(self, (size_t)(slash - self + 1)) + name : std::string(name);
}

}  // namespace orj
