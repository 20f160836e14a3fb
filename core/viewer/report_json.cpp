#include "orj/core/viewer/report_json.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

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
    };
    if (options->fixed_copies > 0) {
        json["ramp"] = nullptr;
        json["copies"] = options->fixed_copies;
    }
    if (options->limits.passes >= 0) json["passes"] = options->limits.passes;
    if (options->limits.seconds >= 0.0) json["seconds"] = options->limits.seconds;
    return json;
}

bool write_report_json(const char *path, const Report *report, const ReportRun *run)
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
        {"renderer", text_or_empty(run->renderer)},
        {"gl_version", text_or_empty(run->gl_version)},
        {"gl_vendor", text_or_empty(run->gl_vendor)},
        {"engine_version", text_or_empty(run->engine_version)},
        {"timestamp_utc", text_or_empty(run->timestamp_utc)},
        {"options", options_json(run->options)},
    };
    if (summary.settled) json["settled_at_seconds"] = summary.settled_at_seconds;
    std::string text = json.dump(2) + "\n";
    if (strcmp(path, "-") == 0)
        return fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

}  // namespace orj
