#include "importer/orj_import_paths.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>

#include <vector>

namespace orj {

static std::wstring wide_from_utf8(const std::string &text)
{
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> wide((size_t)length);
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, wide.data(), length);
    return std::wstring(wide.data());
}

static std::string utf8_from_wide(const wchar_t *text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::vector<char> narrow((size_t)length);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    return std::string(narrow.data());
}

// A handle that only asks about the file (folders included), whoever has it open.
static HANDLE open_for_query(const char *path)
{
    std::wstring wide = wide_from_utf8(path);
    if (wide.empty()) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string resolve_real_path(const std::string &path)
{
    HANDLE file = open_for_query(path.c_str());
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::vector<wchar_t> final_path(MAX_PATH);
    DWORD length = GetFinalPathNameByHandleW(file, final_path.data(), (DWORD)final_path.size(), FILE_NAME_NORMALIZED);
    if (length >= final_path.size()) {
        final_path.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, final_path.data(), (DWORD)final_path.size(), FILE_NAME_NORMALIZED);
    }
    CloseHandle(file);
    if (length == 0 || length >= final_path.size()) return std::string();
    std::string real = utf8_from_wide(final_path.data());
    if (real.compare(0, 4, "\\\\?\\") == 0) real.erase(0, 4);
    for (char &c : real)
        if (c == '\\') c = '/';
    return real;
}

bool file_key_of(const char *path, FileKey *key)
{
    HANDLE file = open_for_query(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    key->device = information.dwVolumeSerialNumber;
    key->index = ((uint64_t)information.nFileIndexHigh << 32) | information.nFileIndexLow;
    return true;
}

}  // namespace orj

#else
#include <sys/stat.h>

namespace orj {

std::string resolve_real_path(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string out = real;
    free(real);
    return out;
}

bool file_key_of(const char *path, FileKey *key)
{
    struct stat status;
    if (stat(path, &status) != 0) return false;
    key->device = (uint64_t)status.st_dev;
    key->index = (uint64_t)status.st_ino;
    return true;
}
}  // namespace orj
#endif
