#include <cstdio>

#include "app/orj_commands.h"

static const char *kind_name(const SceneObject *object)
{
    switch (object->kind) {
    case Mesh: return "Mesh";
    case Camera: return "Camera";
    case Lamp: return "Lamp";
    default: return "no kind";
    }
}

static void print_object(const Scene *scene, int index, int depth, FILE *out)
{
    const SceneObject *object = &scene->objects[index];
    fprintf(out, "%*s%d \"%s\" (%s", 2 * depth + 2, "", index, object->name, kind_name(object));
    if (object->kind == NoKind) fprintf(out, " \"%s\"", object->type_name);
    if (object->kind == Mesh)
        fprintf(out, ", %d vertices, %d quads, %d triangles", (int)object->vertex_count, (int)object->quad_count,
                (int)object->triangle_count);
    fputs(")\n", out);
    // The reader has bounded the depth and the walk, so recursion is safe here.
    for (int i = 0; i < object->child_count; i++) print_object(scene, object->children[i], depth + 1, out);
}

void orj_print_info(const Scene *scene, const char *path, FILE *out)
{
    int meshes = 0, cameras = 0, lamps = 0, others = 0;
    for (int i = 0; i < scene->object_count; i++) {
        switch (scene->objects[i].kind) {
        case Mesh: meshes++; break;
        case Camera: cameras++; break;
        case Lamp: lamps++; break;
        default: others++; break;
        }
    }
    fprintf(out, "%s\n", path);
    fprintf(out, "objects: %d (%d meshes, %d cameras, %d lamps, %d of no kind)\n", (int)scene->object_count, meshes,
            cameras, lamps, others);
    fprintf(out, "frames: %d\n", (int)scene->frame_count);
    fprintf(out, "polygons: %d\n", (int)scene->polygon_count);
    fputs("tree:\n", out);
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) print_object(scene, i, 0, out);

    bool heading = false;
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        if (object->is_root) continue;
        // Reached from a root exactly when its parent chain ends at one.
        int ancestor = object->parent, steps = 0;
        while (ancestor >= 0 && !scene->objects[ancestor].is_root && steps++ <= scene->object_count)
            ancestor = scene->objects[ancestor].parent;
        if (ancestor >= 0 && scene->objects[ancestor].is_root) continue;
        if (!heading) fputs("not reached from a root (not drawn):\n", out);
        heading = true;
        fprintf(out, "  %d \"%s\" (%s), parent \"%s\"\n", i, object->name, kind_name(object), object->parent_name);
    }
}
