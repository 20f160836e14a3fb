#include "core/sprites/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A file's identity: its device and inode when it exists, else its resolved
// folder and name.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string resolved;
};

static FileIdentity file_identity(const std::string &path)
{
    FileIdentity identity;
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        identity.exists = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        return identity;
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    identity.resolved = (realpath(folder.c_str(), resolved) ? std::string(resolved) : folder) + "/" + name;
    return identity;
}

static bool same_file(const FileIdentity &a, const FileIdentity &b)
{
    if (a.exists != b.exists) return false;
    if (a.exists) return a.device == b.device && a.inode == b.inode;
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

static const char *file_kind(mode_t mode)
{
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

ErrorKind output_file_begin(const char *path, OutputFile *output, Error *error)
{
    output->path = path ? path : "";
    output->temp_path.clear();
    if (output->path.empty()) return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "no output path given");
    struct stat status;
    if (lstat(path, &status) == 0) {
        if (!S_ISREG(status.st_mode))
            return set_error(error, ERROR_REFUSED, path, 0, "is %s, not a regular file: refused, nothing written",
                             file_kind(status.st_mode));
        output->mode = status.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode_t mask = umask(0);
        umask(mask);
        output->mode = 0666 & ~mask;
    } else {
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", strerror(errno));
    }
    std::string pattern = output->path + ".XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", strerror(errno));
    close(fd);
    output->temp_path = pattern;
    return ERROR_NONE;
}

ErrorKind output_file_commit(OutputFile *output, Error *error)
{
    const char *path = output->path.c_str();
    // The target may have changed since the start: still never replace anything but a regular file.
    struct stat status;
    if (lstat(path, &status) == 0 && !S_ISREG(status.st_mode)) {
        output_file_discard(output);
        return set_error(error, ERROR_REFUSED, path, 0, "became %s while writing: refused, left as it was",
                         file_kind(status.st_mode));
    }
    if (chmod(output->temp_path.c_str(), output->mode) != 0 || rename(output->temp_path.c_str(), path) != 0) {
        int cause = errno;
        output_file_discard(output);
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be replaced: %s", strerror(cause));
    }
    output->temp_path.clear();
    return ERROR_NONE;
}

void output_file_discard(OutputFile *output)
{
    if (!output->temp_path.empty()) remove(output->temp_path.c_str());
    output->temp_path.clear();
}
