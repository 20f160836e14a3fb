// Fuzzes the scene reader; every scene it accepts must also be written back
// as a file that it accepts again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/scene/scene_reader.h"
#include "core/scene/scene_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Scene scene;
    Error error;
    if (read_scene_text(&scene, (const char *)data, size, "fuzz.orj", &error) != ERROR_NONE) return 0;
    std::string written;
    if (write_scene_text(&scene, LOCATIONS_RELATIVE, &written, &error) != ERROR_NONE) abort();
    Scene again;
    if (read_scene_text(&again, written.data(), written.size(), "written.orj", &error) != ERROR_NONE) abort();
    if (again.object_count != scene.object_count || again.polygon_count != scene.polygon_count) abort();
    free_scene_records(&again);
    free_scene_records(&scene);
    return 0;
}
