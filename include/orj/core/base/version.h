// The engine's version: one number for every program it builds.
#pragma once

#include "orj/core/base/version_number.h"  // ORJ_VERSION, made from the project's version

namespace orj {

// When an argument is "--version", prints "PROGRAM VERSION" to standard
// output and returns true: the program then ends with status 0.
bool print_version_if_asked(int argc, char **argv, const char *program);

// print_version_if_asked, or, when an argument is "-h" or "--help", prints
// usage to standard output; true when either was printed (the program then
// ends with status 0 without doing anything else).
bool print_version_or_usage(int argc, char **argv, const char *program, const char *usage);

// For the benchmarks, whose options are --short and, when progress is given,
// --progress or --quiet (*progress 1 or 0; -1 when neither). Returns -1 to
// run; otherwise the status to end with, after print_version_or_usage (0) or
// a bad option (2, the usage on standard error).
int read_short_option(int argc, char **argv, const char *program, const char *usage, bool *short_run,
                      int *progress = nullptr);

}  // namespace orj
