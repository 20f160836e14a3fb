/// @file
/// Scene records: a flat array of objects in file order, tied into a hierarchy
/// by indices, each object with one transform per animation frame.
#pragma once

#include <cstdint>

namespace orj {

/// A point or a direction in the scene's units, or three angles in degrees.
struct Vector3 {
    float x;  ///< across
    float y;  ///< up
    float z;  ///< towards the default view
};

/// What an object is, from its type word.
enum ObjectKind : uint8_t {
    Mesh = 0,    ///< "Mesh": vertices and faces, drawn through its display list
    Camera = 1,  ///< "Camera": a view the viewer can look through
    Lamp = 2,    ///< "Lamp": a light
    /// Given to an object whose type word is none of the three: drawn as nothing.
    NoKind = 255,
};

/// A texture coordinate; t counts from the image's top (the file's is turned over on reading).
struct TexCoord {
    float s;  ///< 0 at the left edge, 1 at the right
    float t;  ///< 0 at the top edge, 1 at the bottom
};

/// A face of four corners, drawn as the two triangles of its fan.
struct Quad {
    int32_t corners[4];      ///< 0-based indices into the mesh's vertices, each checked by the reader
    TexCoord tex_coords[4];  ///< one for each corner
};

/// A face of three corners.
struct Triangle {
    int32_t corners[3];      ///< 0-based indices into the mesh's vertices, each checked by the reader
    TexCoord tex_coords[3];  ///< one for each corner
};

/// One object of a scene: a mesh, camera or lamp (or an unknown kind, drawn
/// as nothing) with one transform per animation frame and its place in the
/// hierarchy. The arrays belong to the Scene that holds the object.
struct SceneObject {
    Vector3 *vertices;       ///< vertex_count positions (meshes only; else null)
    Vector3 *normals;        ///< vertex_count normals, one per vertex
    Triangle *triangles;     ///< triangle_count faces of three corners
    Quad *quads;             ///< quad_count faces of four corners
    Vector3 *locations;      ///< frame_count locations, relative to the parent (the fix-up)
    Vector3 *rotations;      ///< frame_count rotations about x, y and z, in degrees
    Vector3 *scales;         ///< frame_count scale factors
    int32_t quad_count;      ///< faces in quads
    int32_t vertex_count;    ///< entries of vertices and normals
    int32_t triangle_count;  ///< faces in triangles
    int32_t face_count;      ///< quad_count + triangle_count, as the file counts them
    char name[100];          ///< the object's name, NUL-terminated; namesakes are allowed
    char type_name[20];      ///< the type word as the file gives it
    ObjectKind kind;         ///< what the type word names
    int32_t *children;       ///< child_count object indices, increasing
    int32_t child_count;     ///< entries of children
    char parent_name[100];   ///< the parent's name, or "none" for a root
    int32_t parent;          ///< the highest index of an object of parent_name; -1 for a root or no such object
    uint8_t is_root;         ///< 1 when the parent line said "None"
    uint32_t display_list;   ///< the mesh's OpenGL display list once compiled (gl), else 0
};

/// A whole scene: its objects in file order and the frame count they share.
/// The reader (read_scene_file) fills it and free_scene_records releases
/// it; load_scene (gl) adds the display lists and destroy_scene releases both.
struct Scene {
    SceneObject *objects;   ///< object_count objects, owned by the scene
    int32_t object_count;   ///< entries of objects
    int32_t frame_count;    ///< animation frames; every object has this many transforms
    int32_t polygon_count;  ///< faces over all meshes, a quad counting as two
};

/// Makes the locations of the subtree below object index relative to its
/// parent: the fix-up the reader applies from every root, post-order. The
/// scene must have passed the reader's hierarchy checks (check_scene_walk).
void make_relative(Scene *scene, int index);

}  // namespace orj
