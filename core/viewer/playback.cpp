#include "orj/core/viewer/playback.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace orj {

const char camera_names[CAMERA_SLOTS][CAMERA_NAME_SIZE] = {
    "camara", "Camera", "camara2", "camara3", "camara4", "camara5",
};

int camera_key_of(const char *name)
{
    for (int key = 0; key < CAMERA_SLOTS; key++)
        if (strcmp(name, camera_names[key]) == 0) return key;
    return -1;
}

int choose_camera(int camera, const bool digit_held[CAMERA_SLOTS])
{
    static const int order[CAMERA_SLOTS] = {1, 0, 2, 3, 4, 5};
    for (int i = 0; i < CAMERA_SLOTS; i++)
        if (digit_held[order[i]]) camera = order[i];
    return camera;
}

int advance_frame(int frame, int frame_count)
{
    if (frame_count < 2) return 0;
    frame = frame + 1;
    if (frame > frame_count - 1) frame = 1;
    return frame;
}

bool pass_fitted(int32_t now, int32_t last_tick)
{
    // Wrapping differences keep the test right across the counter's wrap.
    int32_t late = (int32_t)((uint32_t)now - (uint32_t)last_tick - (uint32_t)SLOT_TICKS);
    return late <= 0;
}

void grid_offset(int k, float *x, float *y)
{
    int column = k / GRID_COLUMN, row = k % GRID_COLUMN;
    *x = -10.0f * (float)column;
    *y = -10.0f * (float)row;
}

Report make_report(int32_t polygon_count, int copies, int32_t frames, int32_t start_tick, int32_t end_tick)
{
    Report report;
    int64_t copies_counted = frames > 0 ? (copies < 1 ? 1 : copies) : 0;
    report.polygons = (int64_t)polygon_count * copies_counted;
    report.frames = frames;
    report.seconds = ((float)end_tick - (float)start_tick) / 100.0f;
    report.polygons_per_second = (float)(25 * report.polygons);
    return report;
}

void format_report(char *buffer, size_t size, const Report *report)
{
    snprintf(buffer, size, "numero de poligonos: %" PRId64 ". frames: %d. segundos: %f, poligonos/s %f",
             report->polygons, report->frames, (double)report->seconds, (double)report->polygons_per_second);
}

void format_matrix_dump(char *buffer, size_t size, const float m[16])
{
    snprintf(buffer, size, "%f,%f,%f,%f,\n%f,%f,%f,%f,\n%f,%f,%f,%f,\n%f,%f,%f,%f", m[0], m[1], m[2], m[3], m[4], m[5],
             m[6], m[7], m[8], m[9], m[10], m[11], m[12], m[13], m[14], m[15]);
}

}  // namespace orj
