// The benchmark report's figures as a JSON file.
#pragma once

#include <cstdint>

#include "core/viewer/playback.h"

struct ReportExtras {
    int copies;                            // copies drawn in the last pass
    int32_t polygon_count;                 // the scene's
    double measured_polygons_per_second;   // polygons drawn over all passes / seconds
    const char *renderer;                  // OpenGL renderer string
};

// Writes to path, or to standard output when path is "-"; false when it cannot.
bool write_report_json(const char *path, const Report *report, const ReportExtras *extras);
