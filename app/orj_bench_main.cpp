// orj-bench: "orj bench compare" and "orj bench history", a program of its
// own so that orj's scene commands load neither SQLite nor anything else of
// theirs.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/orj_bench.h"
#include "orj/core/base/command_line.h"

using namespace orj;

static const char *usage_text =
    "usage: orj bench compare [options] A B   whether set-up B of the viewer's benchmark is faster than A\n"
    "       orj bench history [options]       the runs kept in the history, listed or plotted\n"
    "       orj bench COMMAND --help          that command's options\n";

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "compare") == 0) return bench_compare_main(argc - 1, argv + 1);
    if (argc >= 2 && strcmp(argv[1], "history") == 0) return bench_history_main(argc - 1, argv + 1);
    std::vector<const char *> arguments;
    int answer = command_line_answer_plain("orj-bench", argc, argv, usage_text, &arguments);
    if (answer >= 0) return answer;
    std::string error =
        arguments.empty() ? "no command given" : "unknown command \"" + std::string(arguments[0]) + "\"";
    return command_line_answer("orj-bench", OPTIONS_BAD, error, usage_text);
}
