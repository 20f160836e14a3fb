#include "orj/core/base/data_path.h"

#include <sys/stat.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

// The installed data's folder relative to the installed programs' folder (set
// by the build from the install layout).
#ifndef ORJ_DATA_FROM_PROGRAMS
#define ORJ_DATA_FROM_PROGRAMS "../share/orj"
#endif

namespace orj {

static bool path_exists(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

// The folder of the running program, with its trailing separator; empty when
// it cannot be told.
static std::string program_folder()
{
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return "";
#else
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || (size_t)length >= sizeof buffer) return "";
#endif
    std::string program(buffer, (size_t)length);
    size_t separator = program.find_last_of("/\\");
    return separator == std::string::npos ? "" : program.substr(0, separator + 1);
}

std::string find_data_file(const char *path)
{
    if (path_exists(path) || strncmp(path, "data/", 5) != 0) return path;
    std::string folder = program_folder();
    if (folder.empty()) return path;
    std::string relative = ORJ_DATA_FROM_PROGRAMS;
    std::string installed = folder + (relative.empty() ? "" : relative + "/") + path;
    return path_exists(installed) ? installed : std::string(path);
}

}  // namespace orj
