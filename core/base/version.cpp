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
