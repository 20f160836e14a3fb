#include <cstdio>
#include <vector>

#include "app/orj_commands.h"

static const char *kind_name(const SceneObject *object)
{
    switch (object->kind) {
    case Mesh:
        return "Mesh";
    case Camera:
        return "Camera";
    case Lamp:
        return "Lamp";
    default:
        return "no kind";
    }
}

// Names come from untrusted files: control characters (C0, DEL and the C1
// range in UTF-8) are shown as \xNN so that none reaches the terminal.
static void print_name(const char *name, FILE *out)
{
    for (const unsigned char *p = (const unsigned char *)name; *p; p++) {
        if (*p < 0x20 || *p == 0x7f) {
            fprintf(out, "\\x%02x", *p);
        } else if (*p == 0xc2 && p[1] >= 0x80 && p[1] <= 0x9f) {
            fprintf(out, "\\x%02x\\x%02x", p[0], p[1]);
            p++;
        } else {
            fputc(*p, out);
        }
    }
}

static void print_object(const Scene *scene, int index, int depth, FILE *out)
{
    const SceneObject *object = &scene->objects[index];
    fprintf(out, "%*s%d \"", 2 * depth + 2, "", index);
    print_name(object->name, out);
    fprintf(out, "\" (%s", kind_name(object));
    if (object->kind == NoKind) {
        fputs(" \"", out);
        print_name(object->type_name, out);
        fputc('"', out);
    }
    if (object->kind == Mesh)
        fprintf(out, ", %d vertices, %d quads, %d triangles", (int)object->vertex_count, (int)object->quad_count,
                (int)object->triangle_count);
    fputs(")\n", out);
    // The reader has bounded the depth and the walk, so recursion is safe here.
    for (int i = 0; i < object->child_count; i++) print_object(scene, object->children[i], depth + 1, out);
}

// For every object, whether its parent chain ends at a root. Each chain is
// walked once: what a walk learns is kept for the objects it passed.
enum Reach {
    UNKNOWN,
    REACHED,
    UNREACHED,
    ON_PATH
};

static std::vector<char> reached_from_roots(const Scene *scene)
{
    int count = scene->object_count;
    std::vector<char> state(count, UNKNOWN);
    std::vector<int> path;
    for (int i = 0; i < count; i++) {
        int at = i;
        while (at >= 0 && at < count && state[at] == UNKNOWN && !scene->objects[at].is_root) {
            state[at] = ON_PATH;
            path.push_back(at);
            at = scene->objects[at].parent;
        }
        char result = UNREACHED;  // no parent, or a loop back onto this path
        if (at >= 0 && at < count) {
            if (state[at] == UNKNOWN) state[at] = REACHED;  // a root
            if (state[at] != ON_PATH) result = state[at];
        }
        for (int p : path) state[p] = result;
        path.clear();
    }
    return state;
}

void orj_print_info(const Scene *scene, const char *path, FILE *out)
{
    int meshes = 0, cameras = 0, lamps = 0, others = 0;
    for (int i = 0; i < scene->object_count; i++) {
        switch (scene->objects[i].kind) {
        case Mesh:
            meshes++;
            break;
        case Camera:
            cameras++;
            break;
        case Lamp:
            lamps++;
            break;
        default:
            others++;
            break;
        }
    }
    print_name(path, out);
    fputc('\n', out);
    fprintf(out, "objects: %d (%d meshes, %d cameras, %d lamps, %d of no kind)\n", (int)scene->object_count, meshes,
            cameras, lamps, others);
    fprintf(out, "frames: %d\n", (int)scene->frame_count);
    fprintf(out, "polygons: %d\n", (int)scene->polygon_count);
    fputs("tree:\n", out);
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i].is_root) print_object(scene, i, 0, out);

    std::vector<char> reached = reached_from_roots(scene);
    bool heading = false;
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        if (object->is_root || reached[i] == REACHED) continue;
        if (!heading) fputs("not reached from a root (not drawn):\n", out);
        heading = true;
        fprintf(out, "  %d \"", i);
        print_name(object->name, out);
        fprintf(out, "\" (%s), parent \"", kind_name(object));
        print_name(object->parent_name, out);
        fputs("\"\n", out);
    }
}
