// Scene records: a flat array of objects in file order, tied into a hierarchy
// by indices, each object with one transform per animation frame.
#pragma once

#include <cstdint>

namespace orj {

struct Vector3 {
    float x, y, z;
};

enum ObjectKind : uint8_t {
    Mesh = 0,
    Camera = 1,
    Lamp = 2,
    // Given to an object whose type word is none of the three: drawn as nothing.
    NoKind = 255,
};

struct TexCoord {
    float s, t;
};

struct Quad {
    int32_t corners[4];
    TexCoord tex_coords[4];
};

struct Triangle {
    int32_t corners[3];
    TexCoord tex_coords[3];
};

struct SceneObject {
    Vector3 *vertices;
    Vector3 *normals;
    Triangle *triangles;
    Quad *quads;
    Vector3 *locations;
    Vector3 *rotations;  // degrees
    Vector3 *scales;
    int32_t quad_count;
    int32_t vertex_count;
    int32_t triangle_count;
    int32_t face_count;
    char name[100];
    char type_name[20];
    ObjectKind kind;
    int32_t *children;
    int32_t child_count;
    char parent_name[100];
    int32_t parent;
    uint8_t is_root;
    uint32_t display_list;
};

struct Scene {
    SceneObject *objects;
    int32_t object_count;
    int32_t frame_count;
    int32_t polygon_count;
};

// Makes the locations of the subtree below object index relative to its parent.
void make_relative(Scene *scene, int index);

}  // namespace orj
