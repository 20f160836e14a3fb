// The engine's version: one number for every program it builds.
#pragma once

#define ENGINE_VERSION "1.0.0"

// When an argument is "--version", prints "PROGRAM VERSION" to standard
// output and returns true: the program then ends with status 0.
bool print_version_if_asked(int argc, char **argv, const char *program);

// True when an argument is "-h" or "--help".
bool help_asked(int argc, char **argv);
