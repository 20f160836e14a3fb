#include "importer/orj_import_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "orj/core/base/child_process.h"

namespace orj {

bool model_library_contained() { return child_report_open(MODEL_LIBRARY_REPORT_VARIABLE); }

void report_to_starter(const std::string &line) { child_report_line(MODEL_LIBRARY_REPORT_VARIABLE, line); }

ErrorKind stage_output(StagedOutputs *outputs, const std::string &path, std::string *temp_path, Error *error)
{
    OutputFile file;
    ErrorKind kind = output_file_begin(path.c_str(), &file, error);
    if (kind != ERROR_NONE) return kind;
    report_to_starter(MODEL_LIBRARY_TEMPORARY + file.temp_path);
    *temp_path = file.temp_path;
    outputs->files.push_back(file);
    return ERROR_NONE;
}

std::string staged_path(const StagedOutputs &outputs, const std::string &path)
{
    for (const OutputFile &file : outputs.files)
        if (file.path == path) return file.temp_path;
    return std::string();
}

ErrorKind commit_outputs(StagedOutputs *outputs, Error *error)
{
    std::vector<OutputFile *> set;
    for (OutputFile &file : outputs->files) set.push_back(&file);
    ErrorKind kind = output_files_commit(set.data(), (int)set.size(), error);
    discard_outputs(outputs);
    return kind;
}

void discard_outputs(StagedOutputs *outputs)
{
    for (OutputFile &file : outputs->files) output_file_discard(&file);
    outputs->files.clear();
}

ErrorKind write_bytes_to(const std::string &path, const std::string &bytes, const std::string &shown_path, Error *error)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return set_error(error, ERROR_CANNOT_WRITE, shown_path.c_str(), 0, "cannot be written: %s", strerror(errno));
    size_t written = fwrite(bytes.data(), 1, bytes.size(), file);
    int write_errno = errno;
    bool flushed = fflush(file) == 0;
    int flush_errno = errno;
    bool closed = fclose(file) == 0;
    if (written != bytes.size() || !flushed || !closed)
        return set_error(error, ERROR_CANNOT_WRITE, shown_path.c_str(), 0, "cannot be written: %s",
                         strerror(written != bytes.size() ? write_errno
                                  : !flushed              ? flush_errno
                                                          : errno));
    return ERROR_NONE;
}

}  // namespace orj
