#include "orj/core/base/temporary_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace orj {

namespace fs = std::filesystem;

#ifdef _WIN32

ErrorKind make_temporary_folder(const char *prefix, std::string *folder, Error *error)
{
    wchar_t base[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH)
        return set_error(error, ERROR_CANNOT_WRITE, "%TEMP%", 0, "cannot find the temporary folder");
    // The process id, the time and a counter: unique, and CreateDirectory
    // refuses a name that is taken, so a clash only means another try.
    static unsigned counter = 0;
    DWORD last_error = 0;
    for (int attempt = 0; attempt < 100; attempt++) {
        std::wstring path = std::wstring(base) + fs::u8path(prefix).wstring() + L"-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) + L"-" +
                            std::to_wstring(counter++);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            *folder = fs::path(path).u8string();
            return ERROR_NONE;
        }
        last_error = GetLastError();
        if (last_error != ERROR_ALREADY_EXISTS) break;
    }
    return set_error(error, ERROR_CANNOT_WRITE, fs::path(base).u8string().c_str(), 0,
                     "cannot make a temporary folder here (Windows error %lu)", (unsigned long)last_error);
}

#else

ErrorKind make_temporary_folder(const char *prefix, std::string *folder, Error *error)
{
    const char *temporary = getenv("TMPDIR");
    std::string base = temporary && *temporary ? temporary : "/tmp";
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(&pattern[0]))  // mode 0700: its files are this user's alone
        return set_error(error, ERROR_CANNOT_WRITE, base.c_str(), 0, "cannot make a temporary folder here: %s",
                         strerror(errno));
    *folder = pattern;
    return ERROR_NONE;
}

#endif

bool remove_temporary_folder(const std::string &folder)
{
    fs::path path = fs::u8path(folder);
    std::error_code failed, ignored;
    for (fs::directory_iterator entry(path, failed), end; !failed && entry != end; entry.increment(failed))
        if (entry->symlink_status(ignored).type() != fs::file_type::directory) fs::remove(entry->path(), ignored);
    fs::remove(path, ignored);
    return !fs::exists(fs::symlink_status(path, ignored));
}

}  // namespace orj
