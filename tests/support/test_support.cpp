#include "tests/support/test_support.h"

#include <fcntl.h>
#include <png.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char **environ;

static std::string env_or(const char *name, const char *fallback)
{
    const char *value = getenv(name);
    return value ? value : fallback;
}

std::string source_path(const std::string &relative)
{
    return env_or("ENGINE_SOURCE_DIR", ENGINE_DEFAULT_SOURCE_DIR) + "/" + relative;
}

std::string binary_path(const std::string &relative)
{
    return env_or("ENGINE_BINARY_DIR", ENGINE_DEFAULT_BINARY_DIR) + "/" + relative;
}

// The folders make_temp_dir made, removed with all they hold when the test
// program ends (ENGINE_KEEP_TEMP=1 keeps them for a look after a failure);
// not by a forked child, such as a death test's, that exits first.
static std::vector<std::string> temp_dirs;
static pid_t temp_dirs_owner;

static int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    remove(path);
    return 0;
}

static void remove_temp_dirs()
{
    if (getpid() != temp_dirs_owner || env_or("ENGINE_KEEP_TEMP", "") == "1") return;
    for (const std::string &dir : temp_dirs) nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string make_temp_dir(const std::string &tag)
{
    std::string pattern = env_or("TMPDIR", "/tmp") + "/engine-" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    if (temp_dirs.empty()) {
        temp_dirs_owner = getpid();
        atexit(remove_temp_dirs);
    }
    temp_dirs.push_back(buffer.data());
    return buffer.data();
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &contents)
{
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

bool file_exists_at(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

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

int run_shell(const std::string &command)
{
    int status = system(command.c_str());
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool wait_for_window(double timeout_seconds)
{
    std::string command = "timeout " + std::to_string(timeout_seconds) +
                          " xdotool search --sync --onlyvisible --name '.*' >/dev/null 2>&1";
    return run_shell(command) == 0;
}

double now_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool read_png_rgb(const char *path, int *width, int *height, std::vector<uint8_t> *rgb)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = (int)image.width;
    *height = (int)image.height;
    return true;
}

bool wait_until_playing(const ProgramRun &run, double timeout_seconds)
{
    double start = now_seconds();
    while (now_seconds() - start < timeout_seconds) {
        if (read_file(run.stderr_path).find("viewer: renderer ") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
