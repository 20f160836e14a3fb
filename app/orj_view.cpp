// "orj view MODEL [viewer options]": the model imported into a private
// temporary folder and shown by the viewer on its orbit camera; the folder is
// removed when the viewer ends, however it ends.
#include <signal.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/model_library.h"
#include "app/orj_commands.h"
#include "orj/core/base/child_process.h"
#include "orj/core/base/temporary_folder.h"

using namespace orj;

namespace {

const char *view_usage = "usage: orj view MODEL [viewer options]\n"
                         "\n"
                         "Imports MODEL as orj import does by default (framed, lit, a camera when it has none,\n"
                         "its texture) into a private temporary folder and opens the viewer on it, on the orbit\n"
                         "camera (key 6) unless --camera says otherwise. The folder is removed when the viewer\n"
                         "ends; the viewer's exit status is the command's. The viewer options are the viewer's\n"
                         "own (viewer --help), but --scene: the scene is the imported model.\n";

#ifdef _WIN32

// Windows: the import runs the contained model library from this process,
// and the viewer runs as a child that ends with orj. Ctrl+C reaches the
// viewer itself, which ends as A ends it; orj cleans up after it.
int import_model(const std::string &model, const std::string &scene)
{
    std::vector<std::string> words = {"import", model, "-o", scene};
    std::vector<char *> argv;
    for (std::string &word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    return run_model_library(find_program_beside("orj-import"), "import", (int)words.size(), argv.data());
}

int run_viewer(const std::vector<std::string> &arguments)
{
    return run_windows_program(arguments[0], arguments, "orj view", "the viewer");
}

int received_signal() { return 0; }
void forward_signals() {}

#else

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

// "orj import" contains the model library in a process of its own, within limits.
int import_model(const std::string &model, const std::string &scene)
{
    return run_and_wait(find_program_beside("orj"), {"orj", "import", model, "-o", scene});
}

int run_viewer(const std::vector<std::string> &arguments) { return run_and_wait(arguments[0], arguments); }

int received_signal() { return (int)signal_received; }

void forward_signals()
{
    struct sigaction action = {};
    action.sa_handler = pass_signal_on;
    sigemptyset(&action.sa_mask);
    for (int signal_number : FORWARDED_SIGNALS) sigaction(signal_number, &action, nullptr);
}

#endif

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

    std::string folder;
    Error error;
    if (make_temporary_folder("orj-view", &folder, &error) != ERROR_NONE) {
        fprintf(stderr, "orj view: %s\n", error.message.c_str());
        return 1;
    }
    forward_signals();

    std::string scene = folder + "/model.orj";
    int status = import_model(argv[1], scene);
    if (status == 0 && !received_signal()) {
        std::string viewer = find_program_beside("viewer");
        status = run_viewer(viewer_arguments(viewer, scene, argc, argv));
    }
    if (!remove_temporary_folder(folder)) fprintf(stderr, "orj view: cannot remove %s\n", folder.c_str());
    if (received_signal()) {
        // Ended as the signal would have ended it, the folder removed first.
        signal(received_signal(), SIG_DFL);
        raise(received_signal());
    }
    return status < 0 ? 1 : status;
}
