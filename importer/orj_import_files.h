// The files a model may bring in: the model itself and what lies inside its
// folder. Buffers, material libraries and textures that a model names by an
// absolute path or through ".." are refused (with a warning) unless the user
// allows references outside the folder; what is not a regular file is never
// read, as it may block or never end.
#pragma once

#include <string>
#include <vector>

#include "orj/core/base/error.h"

namespace Assimp {
class Importer;
}

namespace orj {

struct ModelFolder {
    std::string model_path;            // as the user gave it
    std::string directory;             // its folder as given ("." for none), for joining references
    std::string real_directory;        // that folder with links resolved, for the containment test
    bool allow_outside;                // --allow-outside-refs
    std::vector<std::string> refused;  // references not followed, each once, for the warnings
};

// Sets folder up for the model at model_path. Fails when the model's folder
// cannot be resolved (the model is then missing too).
ErrorKind open_model_folder(ModelFolder *folder, const char *model_path, bool allow_outside, Error *error);

// Whether the file at path may be read for the model: the model itself, or
// a regular file inside its folder (anywhere, when outside references are
// allowed). A file refused for lying outside is added to folder->refused.
bool model_folder_allows(ModelFolder *folder, const std::string &path);

// Makes importer open every file through folder (read-only, confined). The
// importer owns the file system it is given; folder must outlive the reads.
void confine_importer(Assimp::Importer *importer, ModelFolder *folder);

// The file a texture reference names: as given, relative to the model's
// folder (backslashes taken as slashes), else its last component beside the
// model. Fails with ERROR_CANNOT_OPEN when neither is a file the folder allows.
ErrorKind resolve_texture_reference(ModelFolder *folder, const std::string &reference, std::string *path, Error *error);

}  // namespace orj
