// Building the sample robot's meshes: rounded boxes, tubes and balls with
// per-vertex normals and texture coordinates taken from rectangles of the
// texture atlas.
#pragma once

#include <vector>

#include "orj/core/scene/scene.h"

using namespace orj;

// A rectangle of the texture, in pixels of the atlas, top row first.
struct AtlasRect {
    float x0, y0, x1, y1;
};

struct MeshParts {
    std::vector<Vector3> vertices;
    std::vector<Vector3> normals;
    std::vector<Quad> quads;
    std::vector<Triangle> triangles;
};

// Faces are wound counter-clockwise seen from the side their vertex normals
// point to (the side that culling keeps); degenerate triangles are dropped.
void mesh_add_quad(MeshParts *mesh, const int corners[4], const TexCoord tex[4]);
void mesh_add_triangle(MeshParts *mesh, const int corners[3], const TexCoord tex[3]);
int mesh_add_vertex(MeshParts *mesh, Vector3 position, Vector3 normal);

// A box centred at centre with half sizes half and edges rounded by radius;
// segments extra rows of quads across each flat stretch, and fine_edges two
// rows instead of one along each bend. Every face maps the
// whole of face_rect[i] (order +x, -x, +y, -y, +z, -z), upright as seen from outside.
void mesh_add_rounded_box(MeshParts *mesh, Vector3 centre, Vector3 half, float radius, int segments, bool fine_edges,
                          const AtlasRect face_rect[6]);

// A tube along y from y0 (radius r0) to y1 (radius r1), around the axis
// through (x, z); the texture wraps once around it, its middle column at +z.
// Caps of triangles close the ends when cap is set.
void mesh_add_tube(MeshParts *mesh, float x, float z, float y0, float r0, float y1, float r1, int sides, int rings,
                   bool caps, AtlasRect side_rect, AtlasRect cap_rect);

// A ball of triangles, stretched by radii; the texture maps longitude across
// (its middle column at +z) and latitude down from the north pole.
void mesh_add_ball(MeshParts *mesh, Vector3 centre, Vector3 radii, int sides, int rings, AtlasRect rect);

// Fails (returns the index of the first bad face, or -1 when all are sound) when
// a face's winding disagrees with its vertex normals.
int mesh_find_misturned_face(const MeshParts *mesh);
