/// @file
/// The viewer's outputs tried before the run, so that a run never ends in an
/// output it could not write.
#pragma once

#include "orj/core/base/error.h"
#include "orj/core/viewer/options.h"

namespace orj {

/// Tries `--screenshot`, `--report-json` (unless "-"), `--trace` and the first name
/// of `--record` as outputs (orj/core/base/output_file.h): each must be a
/// regular file or a new name in a folder that takes one, and none may be the
/// scene, the texture or another of them. The error names the file and the
/// reason; nothing is written.
ErrorKind check_viewer_outputs(const ViewerOptions *options, Error *error);

}  // namespace orj
