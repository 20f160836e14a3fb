// Fuzzes what "orj import" decides before the asset library sees a model:
// the Collada check (first byte even: the rest is the file's text) and the
// resolution of a texture reference (first byte odd: the rest is the
// reference), which must never give a file outside the model's folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "importer/orj_import_files.h"
#include "importer/orj_import_guard.h"

using namespace orj;

namespace {

// A model's folder with a texture, a subfolder, a link leading out and a
// file beside the folder, made once and removed at exit.
std::string top;

void remove_folder()
{
    for (const char *name : {"/model/maps/wood.png", "/model/link.png", "/model/model.obj", "/outside.png"})
        unlink((top + name).c_str());
    rmdir((top + "/model/maps").c_str());
    rmdir((top + "/model").c_str());
    rmdir(top.c_str());
}

void touch(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "w");
    if (file) fclose(file);
}

const std::string &model_folder()
{
    if (top.empty()) {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-import-XXXXXX";
        if (!mkdtemp(&pattern[0])) abort();
        top = pattern;
        mkdir((top + "/model").c_str(), 0755);
        mkdir((top + "/model/maps").c_str(), 0755);
        touch(top + "/model/model.obj");
        touch(top + "/model/maps/wood.png");
        touch(top + "/outside.png");
        if (symlink((top + "/outside.png").c_str(), (top + "/model/link.png").c_str()) != 0) abort();
        atexit(remove_folder);
    }
    return top;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    Error error;
    if (data[0] % 2 == 0) {
        check_collada_text((const char *)data + 1, size - 1, "fuzz.dae", &error);
        return 0;
    }
    std::string folder_path = model_folder() + "/model";
    ModelFolder folder;
    if (open_model_folder(&folder, (folder_path + "/model.obj").c_str(), false, &error) != ERROR_NONE) abort();
    std::string reference((const char *)data + 1, size - 1);
    if (reference.find('\0') != std::string::npos) return 0;
    std::string path;
    if (resolve_texture_reference(&folder, reference, &path, &error) != ERROR_NONE) return 0;
    char *real = realpath(path.c_str(), nullptr);
    if (!real) abort();
    std::string resolved = real;
    free(real);
    if (resolved.compare(0, folder.real_directory.size() + 1, folder.real_directory + "/") != 0) abort();
    return 0;
}
