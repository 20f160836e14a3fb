/// @file
/// The benchmark report's figures as a JSON file.
#pragma once

#include <cstdint>
#include <string>

#include "orj/core/base/error.h"
#include "orj/core/viewer/benchmark.h"
#include "orj/core/viewer/options.h"
#include "orj/core/viewer/playback.h"

namespace orj {

/// What the JSON report says besides the Report's figures. Nothing in it is
/// owned; a null text is written as "".
struct ReportRun {
    int32_t copies;                ///< the copy count the report's polygons stand for
    int32_t polygon_count;         ///< the scene's, per copy
    BenchmarkSummary summary;      ///< what the passes measured
    const ViewerOptions *options;  ///< the run's options
    const char *renderer;          ///< OpenGL's renderer string
    const char *gl_version;        ///< OpenGL's version string
    const char *gl_vendor;         ///< OpenGL's vendor string
    const char *engine_version;    ///< the engine's version (ORJ_VERSION)
    const char *timestamp_utc;     ///< when the run ended, "YYYY-MM-DDTHH:MM:SSZ"
};

/// The report as JSON text, ending in a newline.
std::string format_report_json(const Report *report, const ReportRun *run);

/// Writes to path through the safe output writer, or to standard output when
/// path is "-"; the error names the file and the system's reason.
ErrorKind write_report_json(const char *path, const Report *report, const ReportRun *run, Error *error);

}  // namespace orj
