// What orj-import does as the model library's contained process (see
// app/model_library.h): it writes every output to a temporary file beside
// the target, names each temporary file to the process that started it
// before writing (so that one left by a crash or a limit is removed), and
// renames them all into place only once every one is complete.
#pragma once

#include <string>
#include <vector>

#include "orj/core/base/error.h"
#include "orj/core/base/output_file.h"

// Set in the contained process's environment: the descriptor (on Windows the
// handle) it reports on.
#define MODEL_LIBRARY_REPORT_VARIABLE "ORJ_MODEL_LIBRARY_REPORT_FD"

namespace orj {

// Report lines, one word then the rest.
#define MODEL_LIBRARY_TEMPORARY "temporary "  // a temporary output file, by path
#define MODEL_LIBRARY_OUT_OF_MEMORY "out-of-memory"

// Whether this process runs as the contained model library.
bool model_library_contained();

// Sends one line to the process that started this one (nothing when run alone).
void report_to_starter(const std::string &line);

struct StagedOutputs {
    std::vector<OutputFile> files;
};

// Starts an output at path; *temp_path is where to write it meanwhile.
ErrorKind stage_output(StagedOutputs *outputs, const std::string &path, std::string *temp_path, Error *error);
// The temporary path an output at path is being written to; empty when none.
std::string staged_path(const StagedOutputs &outputs, const std::string &path);
// Renames every staged output into place; on failure removes those not yet placed.
ErrorKind commit_outputs(StagedOutputs *outputs, Error *error);
// Removes every temporary file; the targets stay as they were.
void discard_outputs(StagedOutputs *outputs);

// Writes bytes to the file at path (a temporary one), every write and the close checked;
// the message names shown_path.
ErrorKind write_bytes_to(const std::string &path, const std::string &bytes, const std::string &shown_path,
                         Error *error);

}  // namespace orj
