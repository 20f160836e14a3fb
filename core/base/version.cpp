#include "orj/core/base/version.h"

#include <cstdio>
#include <cstring>

namespace orj {

bool print_version_if_asked(int argc, char **argv, const char *program)
{
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--version") != 0) continue;
        printf("%s %s\n", program, ORJ_VERSION);
        return true;
    }
    return false;
}

int read_short_option(int argc, char **argv, const char *program, const char *usage, bool *short_run, int *progress)
{
    if (print_version_or_usage(argc, argv, program, usage)) return 0;
    *short_run = false;
    if (progress) *progress = -1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--short") == 0) {
            *short_run = true;
        } else if (progress && (strcmp(argv[i], "--progress") == 0 || strcmp(argv[i], "--quiet") == 0)) {
            *progress = strcmp(argv[i], "--progress") == 0;
        } else {
            fprintf(stderr, "%s: unknown option %s\n%s", program, argv[i], usage);
            return 2;
        }
    }
    return -1;
}

bool print_version_or_usage(int argc, char **argv, const char *program, const char *usage)
{
    if (print_version_if_asked(argc, argv, program)) return true;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-h") != 0 && strcmp(argv[i], "--help") != 0) continue;
        fputs(usage, stdout);
        return true;
    }
    return false;
}

}  // namespace orj
