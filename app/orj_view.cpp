// "orj view MODEL [viewer options]": the model imported into a private
// temporary folder and shown by the viewer on its orbit camera; the folder is
// removed when the viewer ends, however it ends.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/orj_commands.h"

namespace {

const char *view_usage = "usage: orj view MODEL [viewer options]\n"
                         "\n"
                         "Imports MODEL as orj import does by default (framed, lit, a camera when it has none,\n"
                         "its texture) into a private temporary folder and opens the viewer on it, on the orbit\n"
                         "camera (key 6) unless --camera says otherwise. The folder is removed when the viewer\n"
                         "ends; the viewer's exit status is the command's. The viewer options are the viewer's\n"
                         "own (viewer --help), but --scene: the scene is the imported model.\n";

const int FORWARDED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int SIGNALLED_GRACE_MS = 5000;

// The program running now on orj's behalf, and the first signal orj was sent.
volatile sig_atomic_t running_child = 0;
volatile sig_atomic_t signal_received = 0;

void pass_signal_on(int signal_number)
{
    if (!signal_received) signal_received = signal_number;
    pid_t child = (pid_t)running_child;
    if (child > 0) kill(child, signal_number);
}

// A program beside this one.
std::string program_beside(const char *name)
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return name;
    self[length] = '\0';
    const char *slash = strrchr(self, '/');
    return std::string(self, (size_t)(slash - self + 1)) + name;
}

// Runs program with arguments (argv[0] first) and waits for it; the exit
// status, 128 + the signal that ended it, or -1 when it could not start.
int run_and_wait(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) {
        fprintf(stderr, "orj view: cannot start %s: %s\n", program.c_str(), strerror(errno));
        return -1;
    }
    if (child == 0) {
        for (int signal_number : FORWARDED_SIGNALS) signal(signal_number, SIG_DFL);
        execv(program.c_str(), argv.data());
        fprintf(stderr, "orj view: cannot run %s: %s\n", program.c_str(), strerror(errno));
        _exit(127);
    }
    running_child = child;
    // A signal that came before the child's pid was known is passed on now.
    if (signal_received) kill(child, (int)signal_received);
    int status = 0;
    // Once a signal has been passed on, the program gets a few seconds to end
    // by it; one that hangs instead is killed, so that orj still cleans up.
    int waited_ms = 0;
    for (;;) {
        pid_t ended = waitpid(child, &status, signal_received ? WNOHANG : 0);
        if (ended == child || (ended < 0 && errno != EINTR)) break;
        if (!signal_received) continue;
        if (waited_ms >= SIGNALLED_GRACE_MS) kill(child, SIGKILL);
        usleep(20000);
        waited_ms += 20;
    }
    running_child = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

// Removes the folder and what the import put in it (files only).
void remove_folder(const std::string &folder)
{
    DIR *dir = opendir(folder.c_str());
    if (dir) {
        while (const struct dirent *entry = readdir(dir))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                unlink((folder + "/" + entry->d_name).c_str());
        closedir(dir);
    }
    if (rmdir(folder.c_str()) != 0)
        fprintf(stderr, "orj view: cannot remove %s: %s\n", folder.c_str(), strerror(errno));
}

// The viewer's arguments: the imported scene, the orbit camera unless the
// caller chose a camera, then the caller's own options.
std::vector<std::string> viewer_arguments(const std::string &viewer, const std::string &scene, int argc, char **argv)
{
    std::vector<std::string> arguments = {viewer, "--scene", scene};
    bool camera_given = false;
    for (int i = 2; i < argc; i++)
        camera_given = camera_given || strcmp(argv[i], "--camera") == 0 || strncmp(argv[i], "--camera=", 9) == 0;
    if (!camera_given) arguments.insert(arguments.end(), {"--camera", "6"});
    for (int i = 2; i < argc; i++) arguments.push_back(argv[i]);
    return arguments;
}

}  // namespace

int orj_view_main(int argc, char **argv)
{
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(view_usage, stdout);
        return 0;
    }
    if (argc < 2 || argv[1][0] == '-') {
        fprintf(stderr, "orj view: the model to view comes first\n%s", view_usage);
        return 2;
    }
    for (int i = 2; i < argc; i++)
        if (strcmp(argv[i], "--scene") == 0 || strncmp(argv[i], "--scene=", 8) == 0) {
            fprintf(stderr, "orj view: --scene: the viewer shows the imported model\n%s", view_usage);
            return 2;
        }

    const char *temporary = getenv("TMPDIR");
    std::string folder = std::string(temporary && *temporary ? temporary : "/tmp") + "/orj-view-XXXXXX";
    if (!mkdtemp(&folder[0])) {  // mode 0700: the import's files are this user's alone
        fprintf(stderr, "orj view: cannot make a temporary folder in %s: %s\n",
                temporary && *temporary ? temporary : "/tmp", strerror(errno));
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = pass_signal_on;
    sigemptyset(&action.sa_mask);
    for (int signal_number : FORWARDED_SIGNALS) sigaction(signal_number, &action, nullptr);

    std::string scene = folder + "/model.orj";
    // "orj import" contains the model library in a process of its own, within limits.
    int status = run_and_wait(program_beside("orj"), {"orj", "import", argv[1], "-o", scene});
    if (status == 0 && !signal_received) {
        std::string viewer = program_beside("viewer");
        status = run_and_wait(viewer, viewer_arguments(viewer, scene, argc, argv));
    }
    remove_folder(folder);
    if (signal_received) {
        // Ended as the signal would have ended it, the folder removed first.
        signal((int)signal_received, SIG_DFL);
        raise((int)signal_received);
    }
    return status < 0 ? 1 : status;
}
