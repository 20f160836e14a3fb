#include "orj/core/viewer/report_json.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "orj/core/base/output_file.h"

namespace orj {

static const char *text_or_empty(const char *text) { return text ? text : ""; }

static nlohmann::json options_json(const ViewerOptions *options)
{
    nlohmann::json json = {
        {"scene", text_or_empty(options->scene_path)},
        {"texture", text_or_empty(options->texture_path)},
        {"camera", options->camera},
        {"ramp", options->ramp == RAMP_LINEAR ? "linear" : "geometric"},
        {"copies", nullptr},
        {"passes", nullptr},
        {"seconds", nullptr},
        {"pace", options->pace == PACE_NONE ? "none" : "slot"},
        {"width", options->width},
        {"height", options->height},
        {"fullscreen", options->fullscreen},
        {"extra_pass_ms", options->extra_pass_ms},
    };
    if (options->fixed_copies > 0) {
        json["ramp"] = nullptr;
        json["copies"] = options->fixed_copies;
    }
    if (options->limits.passes >= 0) json["passes"] = options->limits.passes;
    if (options->limits.seconds >= 0.0) json["seconds"] = options->limits.seconds;
    return json;
}

std::string format_report_json(const Report *report, const ReportRun *run)
{
    const BenchmarkSummary &summary = run->summary;
    nlohmann::json json = {
        {"polygons", report->polygons},
        {"frames", report->frames},
        {"seconds", report->seconds},
        {"polygons_per_second", report->polygons_per_second},
        {"copies", run->copies},
        {"polygon_count", run->polygon_count},
        {"measured_polygons_per_second", summary.measured_polygons_per_second},
        {"settled", summary.settled},
        {"settled_at_seconds", nullptr},
        {"windows", summary.windows},
        {"polygons_per_second_median", summary.polygons_per_second_median},
        {"polygons_per_second_min", summary.polygons_per_second_min},
        {"polygons_per_second_max", summary.polygons_per_second_max},
        {"window_samples", summary.window_samples},
        {"frames_per_second", summary.frames_per_second},
        {"frame_ms_median", summary.frame_ms_median},
        {"frame_ms_p95", summary.frame_ms_p95},
        {"frame_ms_p99", summary.frame_ms_p99},
        {"frame_ms_max", summary.frame_ms_max},
        {"renderer", text_or_empty(run->renderer)},
        {"gl_version", text_or_empty(run->gl_version)},
        {"gl_vendor", text_or_empty(run->gl_vendor)},
        {"engine_version", text_or_empty(run->engine_version)},
        {"timestamp_utc", text_or_empty(run->timestamp_utc)},
        {"options", options_json(run->options)},
    };
    if (summary.settled) json["settled_at_seconds"] = summary.settled_at_seconds;
    // Paths and the driver's strings need not be UTF-8: such bytes become U+FFFD.
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

ErrorKind write_report_json(const char *path, const Report *report, const ReportRun *run, Error *error)
{
    std::string text = format_report_json(report, run);
    if (strcmp(path, "-") != 0) return write_output_file(path, text.data(), text.size(), error);
    if (fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0) return ERROR_NONE;
    return set_error(error, ERROR_CANNOT_WRITE, "standard output", 0, "cannot be written: %s", strerror(errno));
}

}  // namespace orj
