#include "orj/core/base/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace orj {

namespace fs = std::filesystem;

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
    if (fs::exists(path, error)) {
        identity.exists = true;
        return identity;
    }
    fs::path name(path);
    fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
    fs::path resolved = fs::canonical(folder, error);
    identity.resolved = ((error ? folder : resolved) / name.filename()).generic_string();
    return identity;
}

static bool same_file(const FileIdentity &a, const FileIdentity &b)
{
    if (a.exists != b.exists) return false;
    std::error_code error;
    if (a.exists) return fs::equivalent(a.path, b.path, error);
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

ErrorKind output_file_begin(const char *path, OutputFile *output, Error *error)
{
    output->path = path ? path : "";
    output->temp_path.clear();
    if (output->path.empty()) return set_error(error, ERROR_CANNOT_WRITE, nullptr, 0, "no output path given");
    std::error_code status_error;
    fs::file_status status = fs::symlink_status(path, status_error);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status))
            return set_error(error, ERROR_REFUSED, path, 0, "is %s, not a regular file: refused, nothing written",
                             file_kind(status.type()));
        output->mode = (unsigned)status.permissions() & 07777;
    } else if (status.type() == fs::file_type::not_found) {
        mode_t mask = umask(0);
        umask(mask);
        output->mode = 0666 & ~mask;
    } else {
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be written: %s", status_error.message().c_str());
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
    std::error_code status_error;
    fs::file_status status = fs::symlink_status(path, status_error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        output_file_discard(output);
        return set_error(error, ERROR_REFUSED, path, 0, "became %s while writing: refused, left as it was",
                         file_kind(status.type()));
    }
    // fs::rename replaces an existing file on Windows too, where rename() refuses.
    std::error_code cause;
    fs::permissions(output->temp_path, (fs::perms)output->mode, cause);
    if (!cause) fs::rename(output->temp_path, output->path, cause);
    if (cause) {
        output_file_discard(output);
        return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot be replaced: %s", cause.message().c_str());
    }
    output->temp_path.clear();
    return ERROR_NONE;
}

void output_file_discard(OutputFile *output)
{
    if (!output->temp_path.empty()) remove(output->temp_path.c_str());
    output->temp_path.clear();
}

}  // namespace orj
