// The model library (the asset importer behind "orj import", "export" and
// "formats") runs in a process of its own, orj-import, within limits on its
// memory, processor time and stack: whatever a model file makes the library
// do (crash, loop, allocate without end), the command ends with a message
// naming the file and the limit, status 1, and no output half-written or
// left behind.
#pragma once

#include <string>

namespace orj {

// Runs program (orj-import) as the contained model library for command
// ("import", "export" or "formats"); argv[1..argc) are the command's
// arguments, with the limit options (--max-memory MB, --max-cpu SECONDS,
// --max-stack MB), which are taken out here. Returns the exit status; a
// child ended by an interrupt or termination ends this process the same way.
int run_model_library(const std::string &program, const char *command, int argc, char **argv);

}  // namespace orj
