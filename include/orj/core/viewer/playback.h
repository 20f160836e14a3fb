/// @file
/// The viewer's playback arithmetic: camera choice, frame sequence, whether a
/// pass fitted its slot, the benchmark grid, and the report at exit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orj {

/// The viewer's fixed numbers.
enum {
    CAMERA_SLOTS = 6,        ///< camera keys 0 to 5
    FIRST_CAMERA = 4,        ///< the camera key the viewer starts on
    CAMERA_NAME_SIZE = 100,  ///< bytes of a camera name in camera_names, with its NUL
    REPORT_SIZE = 400,       ///< bytes that hold the report's line (format_report)
    GRID_COLUMN = 30,        ///< copies per column of the benchmark grid
    SLOT_TICKS = 4,          ///< ticks of 10 ms a pass may take (25 passes a second)
};

/// The one table of the names the viewer's camera keys 0 to 5 look for:
/// "camara", "Camera", "camara2", "camara3", "camara4", "camara5".
extern const char camera_names[CAMERA_SLOTS][CAMERA_NAME_SIZE];

/// The camera key whose camera has that name, -1 for none.
int camera_key_of(const char *name);

/// The camera key after a pass that started on camera: digit_held[d] is
/// whether the digit key d (0 to 5) is held. Keys are tested in the order 1,
/// 0, 2, 3, 4, 5, each held one overwriting the choice; camera stays when none
/// is held.
int choose_camera(int camera, const bool digit_held[CAMERA_SLOTS]);

/// The frame after frame: 1 after the last one (frame 0 plays once); a scene
/// of fewer than two frames stays on frame 0.
int advance_frame(int frame, int frame_count);

/// The pass judged at tick now fitted into its slot of 4 ticks after last_tick.
bool pass_fitted(int32_t now, int32_t last_tick);

/// Where copy k of the grid stands relative to copy 0, in world units: columns
/// of GRID_COLUMN copies, 10 units apart towards -x, copies 10 units apart
/// towards -y within a column.
void grid_offset(int k, float *x, float *y);

/// The figures the viewer prints when it ends.
struct Report {
    int64_t polygons;           ///< polygons one pass drew: the scene's times the copies
    int32_t frames;             ///< passes shown
    float seconds;              ///< from start_tick to end_tick, in seconds
    float polygons_per_second;  ///< polygons at 25 passes a second
};

/// The report's figures for a scene of polygon_count polygons, after frames
/// passes from start_tick to end_tick (ticks of 10 ms). copies: copy_count as
/// the last pass left it (found a camera: one copy). Never fewer than one
/// copy once a pass ran; 0 polygons before.
Report make_report(int32_t polygon_count, int copies, int32_t frames, int32_t start_tick, int32_t end_tick);

/// "numero de poligonos: %d. frames: %d. segundos: %f, poligonos/s %f", cut
/// to fit size bytes (REPORT_SIZE bytes hold it).
void format_report(char *buffer, size_t size, const Report *report);

/// The 16 values of a matrix in the order OpenGL gives them, four to a line,
/// cut to fit size bytes.
void format_matrix_dump(char *buffer, size_t size, const float matrix[16]);

}  // namespace orj
