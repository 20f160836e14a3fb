// What the importer asks of the file system about paths, the same on every
// system: a path with its links resolved, a file's identity, and where a
// path's last component starts.
#pragma once

#include <cstdint>
#include <string>

namespace orj {

// path with every link resolved, its components separated by '/'; empty
// when path does not exist.
std::string resolve_real_path(const std::string &path);

// Identifies a file across the names it may have (device and inode, or the
// volume and file index on Windows).
struct FileKey {
    uint64_t device;
    uint64_t index;
};

// false when path does not exist or cannot be asked.
bool file_key_of(const char *path, FileKey *key);

inline bool same_file_key(const FileKey &a, const FileKey &b) { return a.device == b.device && a.index == b.index; }

}  // namespace orj
