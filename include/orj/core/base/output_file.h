// Writing output files without harming what is already there: each output is
// written to a unique temporary file beside it and renamed over it only once
// complete. Only a regular file or a missing name is replaced; anything else
// (a directory, a device, a FIFO, a socket, a symbolic link) is refused, so
// the tools never turn a device or a link into a plain file.
#pragma once

#include <string>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

struct OutputFile {
    std::string path;       // the file asked for
    std::string temp_path;  // the temporary file beside it while writing; empty once committed or discarded
    unsigned mode = 0;      // permission bits the finished file gets: the old file's, or 0666 less the umask
};

// Refuses an output that is also one of the inputs or another output: two
// names are the same file when they resolve to one device and inode, or (not
// yet existing) to one path in one folder. The message names both.
ErrorKind check_output_paths(const std::vector<std::string> &inputs, const std::vector<std::string> &outputs,
                             Error *error);

// Makes the temporary file for path (closed, empty, mode 0600). Refuses a
// path that exists and is not a regular file.
ErrorKind output_file_begin(const char *path, OutputFile *output, Error *error);
// Gives the temporary file the kept mode and renames it over path.
ErrorKind output_file_commit(OutputFile *output, Error *error);
// Removes the temporary file, if any; path is left as it was.
void output_file_discard(OutputFile *output);

}  // namespace orj
