// The subcommands of the orj scene tool; main turns their results into the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "orj/core/scene/scene.h"

using namespace orj;

// Reads path with the scene reader; on failure prints the reader's message
// on standard error and returns false.
bool orj_read_scene(const char *path, Scene *scene);

// A short human summary of a loaded scene: counts and the object tree.
void orj_print_info(const Scene *scene, const char *path, FILE *out);

// The loaded records as JSON text (one line, newline-terminated).
void orj_print_dump(const Scene *scene, FILE *out);

// "orj view MODEL [viewer options]" (argv[0] is "view"): imports the model
// into a private temporary folder, runs the viewer on it and removes the
// folder; returns the viewer's exit status (the import's when it fails).
// A termination signal is passed on to the program running, and ends orj
// the same way once the folder is removed.
int orj_view_main(int argc, char **argv);

#ifdef _WIN32
// Runs program with arguments (its name first) as a child that ends with orj
// and returns its exit status; a failure to start it or an end by an
// exception is reported on standard error as "PREFIX: ..." (name says which
// program ended), and gives status 1 (130 for Ctrl+C).
int run_windows_program(const std::string &program, const std::vector<std::string> &arguments, const char *prefix,
                        const std::string &name);
#endif
