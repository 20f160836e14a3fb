// orj-bench: "orj bench compare" and "orj bench history", a program of its
// own so that orj's scene commands load neither SQLite nor anything else of
// theirs.
#include <cstdio>
#include <cstring>

#include "app/orj_bench.h"
#include "orj/core/base/version.h"

using namespace orj;

static const char *usage_text =
    "usage: orj bench compare [options] A B   whether set-up B of the viewer's benchmark is faster than A\n"
    "       orj bench history [options]       the runs kept in the history, listed or plotted\n"
    "       orj bench COMMAND --help          that command's options\n";

int main(int argc, char **argv)
{
    if (print_version_if_asked(argc, argv, "orj-bench")) return 0;
    if (argc >= 2 && strcmp(argv[1], "compare") == 0) return bench_compare_main(argc - 1, argv + 1);
    if (argc >= 2 && strcmp(argv[1], "history") == 0) return bench_history_main(argc - 1, argv + 1);
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage_text, stdout);
        return 0;
    }
    if (argc >= 2) fprintf(stderr, "orj bench: unknown command \"%s\"\n", argv[1]);
    fputs(usage_text, stderr);
    return 2;
}
