// Fuzzes the scene reader; every scene it accepts must also be written back
// as a file that it accepts again, and must read the same with room after
// its text, where lines near its end are read in one go instead of through
// the general path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"

using namespace orj;

template <typename T>
static bool same_array(const T *a, const T *b, int64_t count)
{
    return count <= 0 || memcmp(a, b, (size_t)count * sizeof(T)) == 0;
}

static bool same_records(const Scene &a, const Scene &b)
{
    if (a.object_count != b.object_count || a.frame_count != b.frame_count || a.polygon_count != b.polygon_count)
        return false;
    for (int32_t i = 0; i < a.object_count; i++) {
        const SceneObject &x = a.objects[i], &y = b.objects[i];
        if (x.vertex_count != y.vertex_count || x.face_count != y.face_count || x.quad_count != y.quad_count ||
            x.triangle_count != y.triangle_count || x.child_count != y.child_count || x.kind != y.kind ||
            x.parent != y.parent || x.is_root != y.is_root || strcmp(x.name, y.name) != 0 ||
            strcmp(x.type_name, y.type_name) != 0 || strcmp(x.parent_name, y.parent_name) != 0)
            return false;
        if (!same_array(x.vertices, y.vertices, x.vertex_count) || !same_array(x.normals, y.normals, x.vertex_count) ||
            !same_array(x.quads, y.quads, x.quad_count) || !same_array(x.triangles, y.triangles, x.triangle_count) ||
            !same_array(x.locations, y.locations, a.frame_count) ||
            !same_array(x.rotations, y.rotations, a.frame_count) || !same_array(x.scales, y.scales, a.frame_count) ||
            !same_array(x.children, y.children, x.child_count))
            return false;
    }
    return true;
}

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
    // Text after the last line is never read; a last line without its
    // newline would read differently with text after it.
    if (size > 0 && data[size - 1] == '\n') {
        std::string roomy((const char *)data, size);
        roomy.append(256, ' ');
        Scene spaced;
        if (read_scene_text(&spaced, roomy.data(), roomy.size(), "roomy.orj", &error) != ERROR_NONE) abort();
        if (!same_records(scene, spaced)) abort();
        free_scene_records(&spaced);
    }
    free_scene_records(&scene);
    return 0;
}
