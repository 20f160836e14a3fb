// The model library (the asset importer behind "orj import", "export" and
// "formats") runs in a process of its own, orj-import, within limits on its
// memory, processor time and stack: whatever a model file makes the library
// do (crash, loop, allocate without end), the command ends with a message
// naming the file and the limit, status 1, and no output half-written or
// left behind.
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/base/command_line.h"

// The limit options in the commands' usage texts.
#define MODEL_LIBRARY_LIMITS_USAGE                                                                                     \
    "  --max-memory MB      memory the model library may take (default: half the machine's memory)\n"                  \
    "  --max-cpu SECONDS    processor time it may take (default 300)\n"                                                \
    "  --max-stack MB       its stack, for deeply nested files (default 512); 0 lifts a limit. It runs\n"              \
    "                       in a process of its own: a model that makes it crash, loop or run out of\n"                \
    "                       memory ends the command with a message naming the limit, and no output\n"

namespace orj {

// The limit options as given; -1 where one was not given.
struct LibraryLimitOptions {
    int32_t memory_mb = -1;
    int32_t cpu_seconds = -1;
    int32_t stack_mb = -1;
};

// Adds --max-memory MB, --max-cpu SECONDS and --max-stack MB (whole numbers,
// 0 lifting the limit) to a command's options: the starting process reads
// them, and the commands accept them with the same checks.
void command_line_library_limits(CommandLine *line, LibraryLimitOptions *limits);

// Runs program (orj-import) as the contained model library for command
// ("import", "export" or "formats"); argv[0..argc) are the command's
// arguments, its name first, passed on as they are. The limit options are
// read here; when the command line cannot be read, the library gets the
// default limits and the command itself says what is wrong. Returns the
// exit status; a child ended by an interrupt or termination ends this
// process the same way.
int run_model_library(const std::string &program, const char *command, int argc, char **argv);

}  // namespace orj
