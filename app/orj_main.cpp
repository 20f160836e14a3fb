// orj: checks, summarises and dumps scene files without opening a window.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/base/signals.h"
#include "orj/core/scene/scene_reader.h"
#include "app/orj_commands.h"
#include "app/model_library.h"
#include "orj/core/base/child_process.h"
#include "orj/core/base/command_line.h"

using namespace orj;

static const char *usage_text =
    "usage: orj check FILE   exit 0 when FILE is a valid scene, else print why and exit 1\n"
    "       orj info FILE    counts, polygon count, frame count and the object tree\n"
    "       orj dump FILE    the loaded records as JSON\n"
#ifdef ORJ_IMPORT
    "       orj import ...   convert a model into a scene file (orj import --help)\n"
    "       orj export ...   write a scene file as a glTF, Collada or OBJ model (orj export --help)\n"
    "       orj formats      the model formats import reads and export writes\n"
    "       orj view MODEL   import a model into a temporary folder and show it (orj view --help)\n"
#endif
#ifdef ORJ_BENCH
    "       orj bench ...    compare set-ups of the viewer's benchmark, list or plot its history\n"
    "                        (orj bench --help)\n"
#endif
    "       orj --version    print the engine's version\n";

bool orj_read_scene(const char *path, Scene *scene)
{
    Error error;
    if (read_scene_file(scene, path, &error) == ERROR_NONE) return true;
    fprintf(stderr, "%s\n", error.message.c_str());
    return false;
}

#ifdef ORJ_IMPORT
// "orj import", "export" and "formats" are the program orj-import beside
// this one, run as the contained model library: the model importer's
// libraries load only for them, and their faults end that process only.
static int run_importer(int argc, char **argv)
{
    return run_model_library(find_program_beside("orj-import"), argv[1], argc - 1, argv + 1);
}
#endif

#ifdef _WIN32
int run_windows_program(const std::string &program, const std::vector<std::string> &arguments, const char *prefix,
                        const std::string &name)
{
    ChildCommand child;
    child.program = program;
    child.arguments = arguments;
    ChildResult result;
    Error error;
    if (run_child_process(child, &result, &error) != ERROR_NONE) {
        fprintf(stderr, "%s: %s\n", prefix, error.message.c_str());
        return 1;
    }
    if (result.end == CHILD_EXITED) return result.exit_status;
    fprintf(stderr, "%s: %s ended with %s\n", prefix, name.c_str(), signal_name(result.signal).c_str());
    return result.signal == SIGINT ? 128 + SIGINT : 1;
}
#endif

#ifdef ORJ_BENCH
// "orj bench" is the program orj-bench beside this one, run in this
// process's place (on Windows, which has no exec, as a child that ends with
// orj): SQLite loads only for it.
static int run_bench(int argc, char **argv)
{
    std::string bench = find_program_beside("orj-bench");
#ifdef _WIN32
    return run_windows_program(bench, std::vector<std::string>(argv + 1, argv + argc), "orj", bench);
#else
    (void)argc;
    execv(bench.c_str(), argv + 1);
    fprintf(stderr, "orj: cannot run %s: %s\n", bench.c_str(), strerror(errno));
    return 1;
#endif
}
#endif

int main(int argc, char **argv)
{
    // Ends at once, removing the temporary files of outputs not yet in place.
    install_signal_ending(SIGNALS_END_AT_ONCE);
#ifdef ORJ_IMPORT
    if (argc >= 2 &&
        (strcmp(argv[1], "import") == 0 || strcmp(argv[1], "export") == 0 || strcmp(argv[1], "formats") == 0))
        return run_importer(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "view") == 0) return orj_view_main(argc - 1, argv + 1);
#endif
#ifdef ORJ_BENCH
    if (argc >= 2 && strcmp(argv[1], "bench") == 0) return run_bench(argc, argv);
#endif
    std::vector<const char *> arguments;
    int answer = command_line_answer_plain("orj", argc, argv, usage_text, &arguments);
    if (answer >= 0) return answer;
    if (arguments.size() == 1 && strcmp(arguments[0], "help") == 0) {
        fputs(usage_text, stdout);
        return 0;
    }
    const char *command = arguments.empty() ? "" : arguments[0];
    bool check = strcmp(command, "check") == 0;
    bool info = strcmp(command, "info") == 0;
    bool dump = strcmp(command, "dump") == 0;
    std::string error;
    if (arguments.empty()) error = "no command given";
    else if (!check && !info && !dump) error = std::string("unknown command \"") + command + "\"";
    else if (arguments.size() != 2) error = std::string(command) + " takes one FILE";
    if (!error.empty()) return command_line_answer("orj", OPTIONS_BAD, error, usage_text);
    const char *path = arguments[1];

    Scene scene;
    if (!orj_read_scene(path, &scene)) return 1;
    if (info) orj_print_info(&scene, path, stdout);
    if (dump) orj_print_dump(&scene, stdout);
    free_scene_records(&scene);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "orj: standard output: cannot write\n");
        return 1;
    }
    return 0;
}
