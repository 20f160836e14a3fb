/// @file
/// Writing output files without harming what is already there: each output is
/// written to a unique temporary file beside it, every write checked, flushed
/// to the disk and renamed over the target only once complete. On any failure
/// the old file is left as it was and the temporary file removed. Only a
/// regular file or a missing name is replaced; anything else (a directory, a
/// device, a FIFO, a socket, a symbolic link) is refused before anything is
/// opened, so no program waits on a FIFO, writes through a link or turns a
/// device into a plain file. Messages name the output and the system's reason.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

/// One output being written: made by output_file_begin, ended by
/// output_file_commit, output_files_commit or output_file_discard (which
/// close and remove what it holds). The caller owns the record.
struct OutputFile {
    std::string path;        ///< the file asked for
    std::string temp_path;   ///< the temporary file beside it while writing; empty once committed or discarded
    unsigned mode = 0;       ///< permission bits the finished file gets: the old file's, or 0666 less the umask
    FILE *stream = nullptr;  ///< open on the temporary file from begin to commit; writers may write to it directly
    int write_errno = 0;     ///< the cause of the first failed output_file_write, reported at commit
    int signal_slot = -1;    ///< where SIGINT and SIGTERM find the temporary file to remove (signals.h)
};

/// Refuses an output that is also one of the inputs or another output: two
/// names are the same file when they resolve to one device and inode, or (not
/// yet existing) to one path in one folder. The message names both.
ErrorKind check_output_paths(const std::vector<std::string> &inputs, const std::vector<std::string> &outputs,
                             Error *error);

/// Tries path as an output now, before any work is done: refused as
/// output_file_begin refuses it, or when its folder does not take a new file
/// (a temporary file is made there and removed). Nothing is written to path.
ErrorKind check_output_path(const char *path, Error *error);

/// Makes the temporary file for path (empty, mode 0600), opens it for writing
/// and registers it for removal should a signal end the program. Refuses a
/// path that exists and is not a regular file.
ErrorKind output_file_begin(const char *path, OutputFile *output, Error *error);
/// Appends size bytes. On failure the output stays open, so that the caller
/// can discard it.
ErrorKind output_file_write(OutputFile *output, const void *data, size_t size, Error *error);
/// Flushes and closes the temporary file (every step checked, its data synced
/// to the disk), gives it the kept mode and renames it over path. On failure
/// the temporary file is removed and path left as it was.
ErrorKind output_file_commit(OutputFile *output, Error *error);
/// Commits several outputs as a set: all are written out first, then renamed
/// in order while a lock on the last one's folder is held (the file that
/// completes the set, so two sets that share it meet there), so that two
/// programs committing the same set never leave one's file beside the other's.
ErrorKind output_files_commit(OutputFile *const *outputs, int count, Error *error);
/// Closes and removes the temporary file, if any; path is left as it was.
void output_file_discard(OutputFile *output);

/// The whole output at once: begin, write, commit.
ErrorKind write_output_file(const char *path, const void *data, size_t size, Error *error);

}  // namespace orj
