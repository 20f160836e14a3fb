// Fuzzes the contained model library: each input (first byte: the model's
// format, the rest its bytes) is imported by orj-import as a user runs it,
// which must end with status 0, 1 or 2, never a signal, and leave in the
// model's folder nothing but the model and, on success, the scene and the
// texture written beside it.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orj/core/base/child_process.h"

using namespace orj;

namespace {

const char *const EXTENSIONS[] = {"ply", "x", "gltf", "glb", "obj", "dae", "fbx", "bvh", "stl", "3ds"};
const int EXTENSION_COUNT = (int)(sizeof EXTENSIONS / sizeof EXTENSIONS[0]);

std::string folder;

void remove_folder()
{
    DIR *listing = opendir(folder.c_str());
    for (struct dirent *entry; listing && (entry = readdir(listing));)
        if (entry->d_name[0] != '.' || entry->d_name[1] > '.') unlink((folder + "/" + entry->d_name).c_str());
    if (listing) closedir(listing);
    rmdir(folder.c_str());
}

// Ends the run as a finding, without leaving the scratch folder behind.
[[noreturn]] void fail()
{
    remove_folder();
    abort();
}

const std::string &scratch_folder()
{
    if (folder.empty()) {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-model-library-XXXXXX";
        if (!mkdtemp(&pattern[0])) abort();
        folder = pattern;
        atexit(remove_folder);
        // Sanitizer builds take no address-space limit: the sanitizer bounds the memory instead.
        setenv("ASAN_OPTIONS", "allocator_may_return_null=1:hard_rss_limit_mb=1024:detect_leaks=0", 1);
    }
    return folder;
}

// Counts the folder's files other than the model and, when the import
// succeeded, the scene and its texture; returns -1 when it cannot be read.
int strays_in(const std::string &dir, bool succeeded)
{
    DIR *listing = opendir(dir.c_str());
    if (!listing) return -1;
    int count = 0;
    for (struct dirent *entry; (entry = readdir(listing));) {
        std::string name = entry->d_name;
        bool output = name == "out.orj" || name == "out.tga";
        if (name != "." && name != ".." && name.compare(0, 6, "model.") != 0 && !(succeeded && output)) count++;
    }
    closedir(listing);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const std::string &dir = scratch_folder();
    std::string model = dir + "/model." + EXTENSIONS[data[0] % EXTENSION_COUNT], scene = dir + "/out.orj";
    FILE *file = fopen(model.c_str(), "wb");
    if (!file || fwrite(data + 1, 1, size - 1, file) != size - 1 || fclose(file) != 0) fail();
    ChildCommand command;
    command.program = ORJ_IMPORT_PROGRAM;
    command.arguments = {"orj-import", model, "-o", scene, "--max-cpu", "2", "--max-memory", "1024"};
    ChildResult result;
    Error error;
    if (run_child_process(command, &result, &error) != ERROR_NONE) fail();
    if (result.end != CHILD_EXITED || result.exit_status > 2) {
        fprintf(stderr, "orj-import ended with %s (status %d)\n", signal_name(result.signal).c_str(),
                result.exit_status);
        fail();
    }
    int strays = strays_in(dir, result.exit_status == 0);
    if (strays != 0) {
        fprintf(stderr, "orj-import left %d stray files in the model's folder\n", strays);
        fail();
    }
    unlink(scene.c_str());
    unlink((dir + "/out.tga").c_str());
    unlink(model.c_str());
    return 0;
}
