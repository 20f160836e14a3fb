#include "orj/core/base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "orj/core/base/signals.h"

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <sys/file.h>
#endif

namespace orj {

namespace fs = std::filesystem;

// Paths are UTF-8 on every system (on Windows through the programs'
// manifest); std::filesystem reads a plain string there in another encoding.
static fs::path fs_path(const std::string &path) { return fs::u8path(path); }

// A file's identity: the file itself when it exists (compared with
// fs::equivalent: device and inode, or their Windows counterparts), else its
// resolved folder and name.
struct FileIdentity {
    bool exists = false;
    std::string path;
    std::string resolved;
};

static FileIdentity file_identity(const std::string &path)
{
    FileIdentity identity;
    identity.path = path;
    std::error_code error;
    if (fs::exists(fs_path(path), error)) {
        identity.exists = true;
        return identity;
    }
    fs::path name = fs_path(path);
    fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
    fs::path resolved = fs::canonical(folder, error);
    identity.resolved = ((error ? folder : resolved) / name.filename()).generic_u8string();
    return identity;
}

static bool same_file(const FileIdentity &a, const FileIdentity &b)
{
    if (a.exists != b.exists) return false;
    std::error_code error;
    if (a.exists) return fs::equivalent(fs_path(a.path), fs_path(b.path), error);
    return a.resolved == b.resolved;
}

ErrorKind check_output_paths(const std::vector<std::string> &inputs, const std::vector<std::string> &outputs,
                             Error *error)
{
    std::vector<FileIdentity> input_ids, output_ids;
    for (const std::string &input : inputs) input_ids.push_back(file_identity(input));
    for (size_t i = 0; i < outputs.size(); i++) {
        FileIdentity id = file_identity(outputs[i]);
        for (size_t j = 0; j < inputs.size(); j++)
            if (same_file(id, input_ids[j]))
                return set_error(error, ERROR_REFUSED, outputs[i].c_str(), 0,
                                 "the output is the input %s: refused, nothing written", inputs[j].c_str());
        for (size_t j = 0; j < i; j++)
            if (same_file(id, output_ids[j]))
                return set_error(error, ERROR_REFUSED, outputs[i].c_str(), 0,
                                 "the output is also the output %s: refused, nothing written", outputs[j].c_str());
        output_ids.push_back(id);
    }
    return ERROR_NONE;
}

static const char *file_kind(fs::file_type type)
{
    switch (type) {
    case fs::file_type::directory:
        return "a directory";
    case fs::file_type::symlink:
        return "a symbolic link";
    case fs::file_type::fifo:
        return "a FIFO";
    case fs::file_type::character:
    case fs::file_type::block:
        return "a device";
    case fs::file_type::socket:
        return "a socket";
    default:
        return "not a regular file";
    }
}

// Files go to the disk before they replace anything, so that a crash
// afterwards finds the old file or the whole new one.
static int sync_file(FILE *stream)
{
#ifdef _WIN32
    return _commit(_fileno(stream));
#else
    return fsync(fileno(stream));
#endif
}

// The rename itself made durable; a folder that cannot be synced is no failure.
static void sync_folder(const std::string &path)
{
#ifndef _WIN32
    fs::path name(path);
    std::string folder = name.has_parent_path() ? name.parent_path().string() : std::string(".");
    int fd = open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
#else
    (void)path;
#endif
}

#ifdef _WIN32
// A new file named from pattern (its final XXXXXX replaced), open for reading
// and writing. Unlike the C library's mkstemp here, it lets other streams open
// the file too: a staged output may be written through a stream of its own.
static int make_temporary_file(char *pattern)
{
    static unsigned counter = 0;
    char *suffix = pattern + strlen(pattern) - 6;
    for (int attempt = 0; attempt < 1000; attempt++) {
        unsigned long long value = GetTickCount64() * 1000003ULL + GetCurrentProcessId() * 7919ULL + counter++;
        for (int i = 0; i < 6; i++, value /= 36) suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[value % 36];
        int fd = -1;
        errno_t failed =
            _sopen_s(&fd, pattern, _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (failed == 0) return fd;
        if (failed != EEXIST) {
            errno = failed;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}
#else
static int make_temporary_file(char *pattern) { return mkstemp(pattern); }
#endif

static ErrorKind refuse_kind(const char *path, fs::file_status status, Error *error)
{
    return set_error(error, ERROR_REFUSED, path, 0, "is %s, not a regular file: refused, nothing written",
                     file_kind(status.type()));
}

ErrorKind output_file_begin(const char *path, OutputFile *output, Error *error)
{
    output->path = path ? path : "";
    output->temp_path.clear();
    output->stream = nullptr;
    output->write_errno = 0;
    if (output->path.empty()) return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "no output path given");
    std::error_code status_error;
    fs::file_status status = fs::symlink_status(fs_path(output->path), status_error);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) return refuse_kind(path, status, error);
        output->mode = (unsigned)status.permissions() & 07777;
    } else if (status.type() == fs::file_type::not_found) {
        mode_t mask = umask(0);
        umask(mask);
        output->mode = 0666 & ~mask;
    } else {
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", status_error.message().c_str());
    }
    std::string pattern = output->path + ".XXXXXX";
    // A signal between the file's creation and its registration would leave it behind.
    hold_ending_signals();
    int fd = make_temporary_file(&pattern[0]);
    int cause = errno;
    if (fd >= 0) output->signal_slot = register_temporary_file(pattern.c_str());
    resume_ending_signals();
    if (fd < 0) return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", strerror(cause));
#ifdef _WIN32
    _setmode(fd, _O_BINARY);
#endif
    output->temp_path = pattern;
    output->stream = fdopen(fd, "wb");
    if (!output->stream) {
        int cause = errno;
        close(fd);
        output_file_discard(output);
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", strerror(cause));
    }
    return ERROR_NONE;
}

ErrorKind check_output_path(const char *path, Error *error)
{
    OutputFile output;
    ErrorKind kind = output_file_begin(path, &output, error);
    output_file_discard(&output);
    return kind;
}

ErrorKind output_file_write(OutputFile *output, const void *data, size_t size, Error *error)
{
    if (size == 0) return ERROR_NONE;
    errno = 0;
    if (output->stream && fwrite(data, 1, size, output->stream) == size) return ERROR_NONE;
    if (output->write_errno == 0) output->write_errno = errno ? errno : EIO;
    return set_error(error, ERROR_CANNOT_WRITE, output->path.c_str(), 0, "cannot be written: %s",
                     strerror(output->write_errno));
}

// Flushes, syncs and closes the temporary file; on failure removes it.
static ErrorKind finish_writing(OutputFile *output, Error *error)
{
    if (!output->stream) return ERROR_NONE;
    int cause = output->write_errno;
    errno = 0;
    if (fflush(output->stream) != 0 && cause == 0) cause = errno ? errno : EIO;
    if (ferror(output->stream) && cause == 0) cause = EIO;
    if (cause == 0 && sync_file(output->stream) != 0) cause = errno;
    if (fclose(output->stream) != 0 && cause == 0) cause = errno ? errno : EIO;
    output->stream = nullptr;
    if (cause == 0) return ERROR_NONE;
    output_file_discard(output);
    return set_error(error, ERROR_CANNOT_WRITE, output->path.c_str(), 0, "cannot be written: %s", strerror(cause));
}

// Gives the written temporary file its mode and renames it over the target.
static ErrorKind put_in_place(OutputFile *output, Error *error)
{
    const char *path = output->path.c_str();
    // The target may have changed since the start: still never replace anything but a regular file.
    std::error_code status_error;
    fs::file_status status = fs::symlink_status(fs_path(output->path), status_error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        output_file_discard(output);
        return set_error(error, ERROR_REFUSED, path, 0, "became %s while writing: refused, left as it was",
                         file_kind(status.type()));
    }
    // fs::rename replaces an existing file on Windows too, where rename() refuses.
    std::error_code cause;
    fs::permissions(fs_path(output->temp_path), (fs::perms)output->mode, cause);
    if (!cause) fs::rename(fs_path(output->temp_path), fs_path(output->path), cause);
    if (cause) {
        output_file_discard(output);
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be replaced: %s", cause.message().c_str());
    }
    // Between the rename and this, a signal finds no file of the temporary's name.
    forget_temporary_file(output->signal_slot);
    output->signal_slot = -1;
    output->temp_path.clear();
    sync_folder(output->path);
    return ERROR_NONE;
}

ErrorKind output_file_commit(OutputFile *output, Error *error)
{
    ErrorKind kind = finish_writing(output, error);
    return kind != ERROR_NONE ? kind : put_in_place(output, error);
}

// Held while a set of outputs is renamed: on the folder itself where the
// system locks folders, so that no lock file is left beside the outputs; on
// Windows a named mutex that stands for the folder.
struct FolderLock {
#ifdef _WIN32
    HANDLE mutex = nullptr;
#else
    int fd = -1;
#endif
};

static void lock_folder(const std::string &path, FolderLock *lock)
{
    fs::path name = fs_path(path);
    fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
#ifdef _WIN32
    std::error_code ignored;
    fs::path resolved = fs::weakly_canonical(folder, ignored);
    std::wstring key = resolved.wstring();
    for (wchar_t &c : key) c = (wchar_t)towlower(c);
    std::wstring mutex_name = L"Local\\orj-outputs-" + std::to_wstring(std::hash<std::wstring>()(key));
    lock->mutex = CreateMutexW(nullptr, FALSE, mutex_name.c_str());
    if (lock->mutex) WaitForSingleObject(lock->mutex, INFINITE);
#else
    lock->fd = open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (lock->fd < 0) return;
    while (flock(lock->fd, LOCK_EX) != 0 && errno == EINTR) {
    }
#endif
}

static void unlock_folder(FolderLock *lock)
{
#ifdef _WIN32
    if (!lock->mutex) return;
    ReleaseMutex(lock->mutex);
    CloseHandle(lock->mutex);
    lock->mutex = nullptr;
#else
    if (lock->fd < 0) return;
    close(lock->fd);  // releases the lock
    lock->fd = -1;
#endif
}

ErrorKind output_files_commit(OutputFile *const *outputs, int count, Error *error)
{
    Error scratch;
    if (!error) error = &scratch;
    for (int i = 0; i < count; i++)
        if (finish_writing(outputs[i], error) != ERROR_NONE) {
            for (int j = 0; j < count; j++) output_file_discard(outputs[j]);
            return error->kind;
        }
    if (count == 0) return ERROR_NONE;
    FolderLock lock;
    lock_folder(outputs[count - 1]->path, &lock);
    ErrorKind kind = ERROR_NONE;
    for (int i = 0; i < count && kind == ERROR_NONE; i++) kind = put_in_place(outputs[i], error);
    unlock_folder(&lock);
    for (int i = 0; i < count; i++) output_file_discard(outputs[i]);
    return kind;
}

void output_file_discard(OutputFile *output)
{
    if (output->stream) fclose(output->stream);
    output->stream = nullptr;
    if (!output->temp_path.empty()) remove(output->temp_path.c_str());
    forget_temporary_file(output->signal_slot);
    output->signal_slot = -1;
    output->temp_path.clear();
}

ErrorKind write_output_file(const char *path, const void *data, size_t size, Error *error)
{
    OutputFile output;
    ErrorKind kind = output_file_begin(path, &output, error);
    if (kind == ERROR_NONE) kind = output_file_write(&output, data, size, error);
    if (kind != ERROR_NONE) {
        output_file_discard(&output);
        return kind;
    }
    return output_file_commit(&output, error);
}

}  // namespace orj
