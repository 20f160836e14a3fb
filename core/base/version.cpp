#include "core/base/version.h"

#include <cstdio>
#include <cstring>

bool print_version_if_asked(int argc, char **argv, const char *program)
{
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--version") != 0) continue;
        printf("%s %s\n", program, ENGINE_VERSION);
        return true;
    }
    return false;
}

int read_short_option(int argc, char **argv, const char *program, const char *usage, bool *short_run)
{
    if (print_version_or_usage(argc, argv, program, usage)) return 0;
    if (argc > 2 || (argc == 2 && strcmp(argv[1], "--short") != 0)) {
        fprintf(stderr, "%s: unknown option %s\n%s", program, argv[argc - 1], usage);
        return 2;
    }
    *short_run = argc == 2;
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
