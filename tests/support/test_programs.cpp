// Running the engine's programs from a test (POSIX only: the Windows build
// drives its programs from the Linux side, see tests/windows/).
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char **environ;

ProgramRun start_program(const std::vector<std::string> &argv, const std::string &dir, const ProgramSetting &setting)
{
    static int serial = 0;
    ProgramRun run;
    std::string stem = dir + "/run" + std::to_string(serial++);
    run.stdout_path = stem + ".out";
    run.stderr_path = stem + ".err";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, run.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, run.stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    if (!setting.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, setting.cwd.c_str());

    std::vector<char *> args;
    for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    std::vector<char *> env;
    for (char **entry = environ; *entry; entry++) {
        bool keep = true;
        for (const std::string &name : setting.unset_env)
            if (strncmp(*entry, name.c_str(), name.size()) == 0 && (*entry)[name.size()] == '=') keep = false;
        if (keep) env.push_back(*entry);
    }
    env.push_back(nullptr);

    // argv[0] may be relative to the test's directory even when cwd changes.
    std::string program = argv[0];
    if (!program.empty() && program[0] != '/') {
        char here[4096];
        if (getcwd(here, sizeof here)) program = std::string(here) + "/" + program;
    }
    if (posix_spawn(&run.pid, program.c_str(), &actions, nullptr, args.data(), env.data()) != 0) run.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

int wait_program(const ProgramRun &run, double timeout_seconds)
{
    if (run.pid <= 0) return -1;
    double deadline = now_seconds() + timeout_seconds;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(run.pid, &status, WNOHANG);
        if (done == run.pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return -1;
        }
        if (now_seconds() > deadline) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ProgramResult run_program(const std::vector<std::string> &argv, double timeout_seconds, const ProgramSetting &setting)
{
    std::string dir = make_temp_dir("run");
    ProgramRun run = start_program(argv, dir, setting);
    ProgramResult result;
    result.status = wait_program(run, timeout_seconds);
    result.out = read_file(run.stdout_path);
    result.err = read_file(run.stderr_path);
    return result;
}

bool have_posix_shell() { return true; }

static std::vector<std::string> small_disks;

static void unmount_small_disks()
{
    for (const std::string &dir : small_disks) umount2(dir.c_str(), MNT_DETACH);
}

std::string make_small_disk(const std::string &tag, std::string *reason)
{
    if (geteuid() != 0) {
        *reason = "full-disk cases need root to mount a small tmpfs: skipped";
        return "";
    }
    std::string dir = make_temp_dir(tag);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0) {
        *reason = std::string("cannot mount a small tmpfs: ") + strerror(errno) + ": skipped";
        return "";
    }
    if (small_disks.empty()) atexit(unmount_small_disks);  // before the folders are removed
    small_disks.push_back(dir);
    return dir;
}

void fill_small_disk(const std::string &dir)
{
    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    static const char block[4096] = {};
    for (size_t size = sizeof block; size > 0; size /= 2)
        while (write(fd, block, size) == (ssize_t)size) {
        }
    close(fd);
}

int run_shell(const std::string &command)
{
    int status = system(command.c_str());
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool wait_for_window(double timeout_seconds)
{
    // A window with a title: the root window, which has none, is always visible.
    std::string command = "timeout " + std::to_string(timeout_seconds) +
                          " xdotool search --sync --onlyvisible --name '.+' >/dev/null 2>&1";
    return run_shell(command) == 0;
}
