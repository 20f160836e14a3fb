#include "orj/core/base/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// The environment the child gets: the caller's, with name=value in place of any name=.
std::vector<std::string> child_environment(const std::string &name, const std::string &value)
{
    std::vector<std::string> out;
    for (char **entry = environ; entry && *entry; entry++)
        if (name.empty() || strncmp(*entry, (name + "=").c_str(), name.size() + 1) != 0) out.push_back(*entry);
    if (!name.empty()) out.push_back(name + "=" + value);
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
    std::vector<std::string> environment = child_environment(command.report_variable, std::to_string(report[1]));
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
    if (child > 0) {
        read_all(exec_error[0], &exec_report);
        if (exec_report.size() >= sizeof exec_errno) memcpy(&exec_errno, exec_report.data(), sizeof exec_errno);
        if (report[0] >= 0) read_all(report[0], &result->report);
    }
    close(exec_error[0]);
    if (report[0] >= 0) close(report[0]);
    int status = 0;
    struct rusage usage = {};
    while (child > 0 && wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    running_child = 0;
    for (int i = 0; i < PASSED_ON_COUNT; i++) sigaction(PASSED_ON[i], &previous[i], nullptr);

    if (child < 0)
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s",
                         strerror(fork_errno));
    if (exec_errno != 0)
        return set_error(error, ERROR_CANNOT_OPEN, command.program.c_str(), 0, "cannot be run: %s",
                         strerror(exec_errno));
    result->cpu_seconds = (double)usage.ru_utime.tv_sec + (double)usage.ru_stime.tv_sec +
                          ((double)usage.ru_utime.tv_usec + (double)usage.ru_stime.tv_usec) / 1e6;
    result->peak_memory_bytes = (int64_t)usage.ru_maxrss * 1024;
    if (WIFEXITED(status)) {
        result->end = CHILD_EXITED;
        result->exit_status = WEXITSTATUS(status);
        return ERROR_NONE;
    }
    result->signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    bool over_cpu = command.limits.cpu_seconds > 0 &&
                    (result->signal == SIGXCPU ||
                     (result->signal == SIGKILL && result->cpu_seconds >= (double)command.limits.cpu_seconds));
    result->end = over_cpu ? CHILD_CPU_LIMIT : CHILD_SIGNALLED;
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

}  // namespace orj
