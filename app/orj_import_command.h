// The commands of orj-import: "orj import", "orj export" and "orj formats".
// Each takes its command name as argv[0] and returns the exit status: 0
// done, 1 a file cannot be read or written, 2 bad options (for import,
// outputs that are the model or each other among them).
#pragma once

#include <string>

#include "orj/core/base/command_line.h"
#include "orj/import/orj_import.h"

struct ImportCommand {
    const char *model_path;
    const char *scene_path;
    const char *texture_path;    // null: no texture written
    std::string texture_beside;  // the default texture path, named like the scene beside it
    orj::ImportSettings settings;
};

// The name of the command in its messages: "orj import", "orj export" or
// "orj formats" when argv0 names it (run by orj), else "orj-import".
std::string command_name(const char *argv0);

int orj_import_main(int argc, char **argv);
int orj_export_main(int argc, char **argv);
int orj_formats_main(int argc, char **argv);

// Reads the import options that follow argv[0]; on OPTIONS_BAD, *error says why.
orj::OptionsResult parse_import_options(int argc, char **argv, ImportCommand *command, std::string *error);
const char *import_usage();
