#include "importer/orj_import_files.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/base/path_separators.h"
#include "importer/orj_import_paths.h"

namespace orj {

static std::string directory_of(const std::string &path)
{
    size_t slash = path.find_last_of(PATH_SEPARATORS);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

ErrorKind open_model_folder(ModelFolder *folder, const char *model_path, bool allow_outside, Error *error)
{
    folder->model_path = model_path;
    folder->directory = directory_of(model_path);
    folder->real_directory = resolve_real_path(folder->directory);
    folder->allow_outside = allow_outside;
    folder->refused.clear();
    if (folder->real_directory.empty())
        return set_error(error, ERROR_CANNOT_OPEN, model_path, 0, "its folder cannot be opened");
    return ERROR_NONE;
}

bool model_folder_allows(ModelFolder *folder, const std::string &path)
{
    struct stat target;
    if (stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return false;
    FileKey target_key, model_key;
    if (file_key_of(path.c_str(), &target_key) && file_key_of(folder->model_path.c_str(), &model_key) &&
        same_file_key(target_key, model_key))
        return true;
    if (folder->allow_outside) return true;
    std::string real = resolve_real_path(path);
    const std::string &root = folder->real_directory;
    // A root such as "/" or "C:/" ends in its separator.
    bool inside = !real.empty() && !root.empty() && real.size() > root.size() &&
                  real.compare(0, root.size(), root) == 0 && (root.back() == '/' || real[root.size()] == '/');
    if (!inside && std::find(folder->refused.begin(), folder->refused.end(), path) == folder->refused.end())
        folder->refused.push_back(path);
    return inside;
}

namespace {

// The library's own file system, narrowed to what the model's folder allows.
class ConfinedFiles : public Assimp::DefaultIOSystem {
public:
    explicit ConfinedFiles(ModelFolder *folder) : folder_(folder) {}
    bool Exists(const char *path) const override { return path && model_folder_allows(folder_, path); }
    Assimp::IOStream *Open(const char *path, const char *mode) override
    {
        if (!path || !mode || strpbrk(mode, "wa+") || !model_folder_allows(folder_, path)) return nullptr;
        return DefaultIOSystem::Open(path, mode);
    }

private:
    ModelFolder *folder_;
};

}  // namespace

void confine_importer(Assimp::Importer *importer, ModelFolder *folder)
{
    importer->SetIOHandler(new ConfinedFiles(folder));
}

ErrorKind resolve_texture_reference(ModelFolder *folder, const std::string &reference, std::string *path, Error *error)
{
    std::string relative = reference;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    size_t slash = relative.find_last_of('/');
    std::string base = slash == std::string::npos ? relative : relative.substr(slash + 1);
    std::vector<std::string> candidates;
    candidates.push_back(!relative.empty() && relative[0] == '/' ? relative : folder->directory + "/" + relative);
    if (!base.empty() && base != relative) candidates.push_back(folder->directory + "/" + base);
    size_t refused_before = folder->refused.size();
    for (const std::string &candidate : candidates)
        if (!relative.empty() && model_folder_allows(folder, candidate)) {
            *path = candidate;
            return ERROR_NONE;
        }
    if (folder->refused.size() > refused_before)
        return set_error(error, ERROR_CANNOT_OPEN, folder->model_path.c_str(), 0,
                         "texture file '%s' lies outside the model's folder (--allow-outside-refs reads it)",
                         reference.c_str());
    return set_error(error, ERROR_CANNOT_OPEN, folder->model_path.c_str(), 0,
                     "texture file '%s' not found beside the model", reference.c_str());
}

}  // namespace orj
