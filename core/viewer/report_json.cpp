#include "core/viewer/report_json.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

bool write_report_json(const char *path, const Report *report, const ReportExtras *extras)
{
    nlohmann::json json = {
        {"polygons", report->polygons},
        {"frames", report->frames},
        {"seconds", report->seconds},
        {"polygons_per_second", report->polygons_per_second},
        {"copies", extras->copies},
        {"polygon_count", extras->polygon_count},
        {"measured_polygons_per_second", extras->measured_polygons_per_second},
        {"renderer", extras->renderer ? extras->renderer : ""},
    };
    std::string text = json.dump(2) + "\n";
    if (strcmp(path, "-") == 0) return fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}
