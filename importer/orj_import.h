// "orj import": converts a model from the common interchange formats into a
// scene file (and its texture) that the viewer plays.
#pragma once

#include <string>

#include "orj/core/viewer/options.h"
#include "importer/orj_import_convert.h"

namespace orj {

struct ImportCommand {
    const char *model_path;
    const char *scene_path;
    const char *texture_path;  // null: no texture written
    bool allow_outside_refs;   // follow references out of the model's folder
    ImportSettings settings;
};

// argv[0] is "import". Returns the exit status: 0 done, 1 the model cannot
// be read or a file cannot be written, 2 bad options (outputs that are the
// model or each other among them).
int orj_import_main(int argc, char **argv);

// Reads the options that follow argv[0]; on OPTIONS_BAD, *error says why.
OptionsResult parse_import_options(int argc, char **argv, ImportCommand *command, std::string *error);

// Refuses (ERROR_REFUSED, naming the file) an output that is the model or
// the other output: the same file by identity (links included), or for
// outputs not there yet, the same place once their folders are resolved.
ErrorKind check_import_paths(const ImportCommand &command, Error *error);
const char *import_usage();

}  // namespace orj
