#include "orj/core/base/input_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "core/base/open_flags.h"

namespace orj {

ErrorKind open_input_file(const char *path, int64_t max_bytes, int *fd, int64_t *size, Error *error)
{
    *fd = -1;
    *size = 0;
    // Not blocking: a FIFO with no writer is refused below rather than waited on.
    int opened = open(path, INPUT_OPEN_FLAGS);
    if (opened < 0) {
        int cause = errno;
        // Windows' open() refuses a directory as "Permission denied". Paths are UTF-8 there too.
        std::error_code ignored;
        if (std::filesystem::is_directory(std::filesystem::u8path(path), ignored))
            return set_error(error, ERROR_CANNOT_OPEN, path, 0, "is a directory");
        return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot open: %s", strerror(cause));
    }
    struct stat status;
    ErrorKind refused = ERROR_NONE;
    if (fstat(opened, &status) != 0)
        refused = set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot open: %s", strerror(errno));
    else if (S_ISDIR(status.st_mode)) refused = set_error(error, ERROR_CANNOT_OPEN, path, 0, "is a directory");
    else if (!S_ISREG(status.st_mode)) refused = set_error(error, ERROR_CANNOT_OPEN, path, 0, "not a regular file");
    else if (status.st_size > max_bytes)
        refused = set_error(error, ERROR_TOO_LARGE, path, 0, "larger than %lld bytes", (long long)max_bytes);
    if (refused != ERROR_NONE) {
        close(opened);
        return refused;
    }
    set_blocking(opened);
    *fd = opened;
    *size = (int64_t)status.st_size;
    return ERROR_NONE;
}

ErrorKind open_input_stream(const char *path, int64_t max_bytes, FILE **stream, Error *error)
{
    *stream = nullptr;
    int fd;
    int64_t size;
    ErrorKind opened = open_input_file(path, max_bytes, &fd, &size, error);
    if (opened != ERROR_NONE) return opened;
    *stream = fdopen(fd, "rb");
    if (!*stream) {
        int code = errno;
        close(fd);
        return set_error(error, ERROR_CANNOT_OPEN, path, 0, "cannot open: %s", strerror(code));
    }
    return ERROR_NONE;
}

}  // namespace orj
