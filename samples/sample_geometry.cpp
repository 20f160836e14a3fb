#include "samples/sample_geometry.h"

#include <algorithm>
#include <cmath>

static const float atlas_size = 256.0f;
static const float pi = 3.14159265358979f;

static Vector3 add(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
static Vector3 sub(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static Vector3 scale(Vector3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
static float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
static float length(Vector3 a) { return std::sqrt(dot(a, a)); }
static Vector3 normalise(Vector3 a)
{
    float l = length(a);
    return l > 0.0f ? scale(a, 1.0f / l) : a;
}

// Texture coordinate of the point (u, v) of rect, u to the right and v up.
static TexCoord atlas_point(AtlasRect rect, float u, float v)
{
    return {(rect.x0 + u * (rect.x1 - rect.x0)) / atlas_size, (rect.y1 - v * (rect.y1 - rect.y0)) / atlas_size};
}

// Five decimals keep the file short and readable; faces are checked after rounding.
static Vector3 rounded(Vector3 a)
{
    return {std::round(a.x * 1e5f) / 1e5f, std::round(a.y * 1e5f) / 1e5f, std::round(a.z * 1e5f) / 1e5f};
}

int mesh_add_vertex(MeshParts *mesh, Vector3 position, Vector3 normal)
{
    mesh->vertices.push_back(rounded(position));
    mesh->normals.push_back(rounded(normalise(normal)));
    return (int)mesh->vertices.size() - 1;
}

static Vector3 face_normal(const MeshParts *mesh, const int *corners, int count)
{
    const std::vector<Vector3> &v = mesh->vertices;
    if (count == 3) return cross(sub(v[corners[1]], v[corners[0]]), sub(v[corners[2]], v[corners[0]]));
    return cross(sub(v[corners[2]], v[corners[0]]), sub(v[corners[3]], v[corners[1]]));
}

static Vector3 normal_sum(const MeshParts *mesh, const int *corners, int count)
{
    Vector3 sum = {0, 0, 0};
    for (int i = 0; i < count; i++) sum = add(sum, mesh->normals[corners[i]]);
    return sum;
}

// Faces smaller than this (twice their area, in square units) are dropped:
// the file's six decimals would flatten them to nothing.
static const float smallest_face = 1e-6f;

void mesh_add_quad(MeshParts *mesh, const int corners[4], const TexCoord tex[4])
{
    Vector3 geometric = face_normal(mesh, corners, 4);
    if (length(geometric) < smallest_face) return;
    Quad quad;
    bool turn = dot(geometric, normal_sum(mesh, corners, 4)) < 0.0f;
    for (int i = 0; i < 4; i++) {
        int from = turn ? (4 - i) % 4 : i;
        quad.corners[i] = corners[from];
        quad.tex_coords[i] = tex[from];
    }
    mesh->quads.push_back(quad);
}

void mesh_add_triangle(MeshParts *mesh, const int corners[3], const TexCoord tex[3])
{
    Vector3 geometric = face_normal(mesh, corners, 3);
    if (length(geometric) < smallest_face) return;
    Triangle triangle;
    bool turn = dot(geometric, normal_sum(mesh, corners, 3)) < 0.0f;
    for (int i = 0; i < 3; i++) {
        int from = turn ? (3 - i) % 3 : i;
        triangle.corners[i] = corners[from];
        triangle.tex_coords[i] = tex[from];
    }
    mesh->triangles.push_back(triangle);
}

// Positions along one side of a rounded box: denser where the edge bends.
static std::vector<float> box_stations(float half, float radius, int segments, bool fine_edges)
{
    std::vector<float> stations;
    stations.push_back(-half);
    if (radius > 0.0f) {
        if (fine_edges) stations.push_back(-half + 0.3f * radius);
        stations.push_back(-half + radius);
    }
    float inner = half - radius;
    for (int i = 1; i <= segments; i++) stations.push_back(-inner + 2.0f * inner * i / (segments + 1));
    if (radius > 0.0f) {
        stations.push_back(half - radius);
        if (fine_edges) stations.push_back(half - 0.3f * radius);
    }
    stations.push_back(half);
    return stations;
}

void mesh_add_rounded_box(MeshParts *mesh, Vector3 centre, Vector3 half, float radius, int segments, bool fine_edges,
                          const AtlasRect face_rect[6])
{
    // Outward normal, right and up of each face as seen from outside.
    static const Vector3 faces[6][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    float h[3] = {half.x, half.y, half.z};
    for (int f = 0; f < 6; f++) {
        Vector3 n = faces[f][0], right = faces[f][1], up = faces[f][2];
        float hn = std::fabs(dot(n, half)), hu = std::fabs(dot(right, half)), hv = std::fabs(dot(up, half));
        float r = std::min(radius, std::min(hn, std::min(hu, hv)));
        std::vector<float> us = box_stations(hu, r, segments, fine_edges);
        std::vector<float> vs = box_stations(hv, r, segments, fine_edges);
        std::vector<int> index(us.size() * vs.size());
        for (size_t j = 0; j < vs.size(); j++) {
            for (size_t i = 0; i < us.size(); i++) {
                Vector3 q = add(scale(n, hn), add(scale(right, us[i]), scale(up, vs[j])));
                float c[3] = {q.x, q.y, q.z};
                float inner[3];
                for (int k = 0; k < 3; k++) inner[k] = std::max(-(h[k] - r), std::min(h[k] - r, c[k]));
                Vector3 d = {c[0] - inner[0], c[1] - inner[1], c[2] - inner[2]};
                Vector3 position = q, normal = n;
                if (r > 0.0f && length(d) > 0.0f) {
                    normal = normalise(d);
                    position = add(Vector3{inner[0], inner[1], inner[2]}, scale(normal, r));
                }
                index[j * us.size() + i] = mesh_add_vertex(mesh, add(centre, position), normal);
            }
        }
        for (size_t j = 0; j + 1 < vs.size(); j++) {
            for (size_t i = 0; i + 1 < us.size(); i++) {
                int corners[4] = {index[j * us.size() + i], index[j * us.size() + i + 1],
                                  index[(j + 1) * us.size() + i + 1], index[(j + 1) * us.size() + i]};
                float u0 = (us[i] + hu) / (2 * hu), u1 = (us[i + 1] + hu) / (2 * hu);
                float v0 = (vs[j] + hv) / (2 * hv), v1 = (vs[j + 1] + hv) / (2 * hv);
                TexCoord tex[4] = {atlas_point(face_rect[f], u0, v0), atlas_point(face_rect[f], u1, v0),
                                   atlas_point(face_rect[f], u1, v1), atlas_point(face_rect[f], u0, v1)};
                mesh_add_quad(mesh, corners, tex);
            }
        }
    }
}

static void add_cap(MeshParts *mesh, float x, float z, float y, float r, float facing, int sides, AtlasRect rect)
{
    Vector3 normal = {0, facing, 0};
    int centre = mesh_add_vertex(mesh, {x, y, z}, normal);
    TexCoord centre_tex = atlas_point(rect, 0.5f, 0.5f);
    std::vector<int> ring(sides + 1);
    std::vector<TexCoord> ring_tex(sides + 1);
    for (int i = 0; i <= sides; i++) {
        float a = -pi + 2.0f * pi * i / sides;
        ring[i] = mesh_add_vertex(mesh, {x + r * std::sin(a), y, z + r * std::cos(a)}, normal);
        ring_tex[i] = atlas_point(rect, 0.5f + 0.5f * std::sin(a), 0.5f + 0.5f * std::cos(a));
    }
    for (int i = 0; i < sides; i++) {
        int corners[3] = {centre, ring[i], ring[i + 1]};
        TexCoord tex[3] = {centre_tex, ring_tex[i], ring_tex[i + 1]};
        mesh_add_triangle(mesh, corners, tex);
    }
}

void mesh_add_tube(MeshParts *mesh, float x, float z, float y0, float r0, float y1, float r1, int sides, int rings,
                   bool caps, AtlasRect side_rect, AtlasRect cap_rect)
{
    float slope = (r0 - r1) / (y1 - y0);
    float low = std::min(y0, y1), high = std::max(y0, y1);
    std::vector<int> index((size_t)(sides + 1) * (rings + 1));
    for (int j = 0; j <= rings; j++) {
        float t = (float)j / rings;
        float y = y0 + t * (y1 - y0), r = r0 + t * (r1 - r0);
        for (int i = 0; i <= sides; i++) {
            float a = -pi + 2.0f * pi * i / sides;
            Vector3 normal = {std::sin(a), slope, std::cos(a)};
            index[j * (sides + 1) + i] = mesh_add_vertex(mesh, {x + r * std::sin(a), y, z + r * std::cos(a)}, normal);
        }
    }
    for (int j = 0; j < rings; j++) {
        float ya = y0 + (y1 - y0) * j / rings, yb = y0 + (y1 - y0) * (j + 1) / rings;
        float va = (ya - low) / (high - low), vb = (yb - low) / (high - low);
        for (int i = 0; i < sides; i++) {
            int corners[4] = {index[j * (sides + 1) + i], index[j * (sides + 1) + i + 1],
                              index[(j + 1) * (sides + 1) + i + 1], index[(j + 1) * (sides + 1) + i]};
            float ua = (float)i / sides, ub = (float)(i + 1) / sides;
            TexCoord tex[4] = {atlas_point(side_rect, ua, va), atlas_point(side_rect, ub, va),
                               atlas_point(side_rect, ub, vb), atlas_point(side_rect, ua, vb)};
            mesh_add_quad(mesh, corners, tex);
        }
    }
    if (caps) {
        float towards_y0 = y0 < y1 ? -1.0f : 1.0f;
        add_cap(mesh, x, z, y0, r0, towards_y0, sides, cap_rect);
        add_cap(mesh, x, z, y1, r1, -towards_y0, sides, cap_rect);
    }
}

void mesh_add_ball(MeshParts *mesh, Vector3 centre, Vector3 radii, int sides, int rings, AtlasRect rect)
{
    std::vector<int> index((size_t)(sides + 1) * (rings + 1));
    for (int j = 0; j <= rings; j++) {
        float latitude = -pi / 2 + pi * j / rings;
        // Exactly 0 at the poles, so that every vertex there is the pole itself.
        float across = (j == 0 || j == rings) ? 0.0f : std::cos(latitude);
        for (int i = 0; i <= sides; i++) {
            float a = -pi + 2.0f * pi * i / sides;
            Vector3 p = {radii.x * across * std::sin(a), radii.y * std::sin(latitude), radii.z * across * std::cos(a)};
            Vector3 normal = {p.x / (radii.x * radii.x), p.y / (radii.y * radii.y), p.z / (radii.z * radii.z)};
            index[j * (sides + 1) + i] = mesh_add_vertex(mesh, add(centre, p), normal);
        }
    }
    for (int j = 0; j < rings; j++) {
        float va = (float)j / rings, vb = (float)(j + 1) / rings;
        for (int i = 0; i < sides; i++) {
            float ua = (float)i / sides, ub = (float)(i + 1) / sides;
            int a = index[j * (sides + 1) + i], b = index[j * (sides + 1) + i + 1];
            int c = index[(j + 1) * (sides + 1) + i + 1], d = index[(j + 1) * (sides + 1) + i];
            TexCoord ta = atlas_point(rect, ua, va), tb = atlas_point(rect, ub, va);
            TexCoord tc = atlas_point(rect, ub, vb), td = atlas_point(rect, ua, vb);
            // The cells touching a pole lose one triangle each: it has no area.
            int first[3] = {a, b, c};
            TexCoord first_tex[3] = {ta, tb, tc};
            int second[3] = {a, c, d};
            TexCoord second_tex[3] = {ta, tc, td};
            mesh_add_triangle(mesh, first, first_tex);
            mesh_add_triangle(mesh, second, second_tex);
        }
    }
}

int mesh_find_misturned_face(const MeshParts *mesh)
{
    int face = 0;
    for (const Quad &quad : mesh->quads) {
        if (dot(face_normal(mesh, quad.corners, 4), normal_sum(mesh, quad.corners, 4)) <= 0.0f) return face;
        face++;
    }
    for (const Triangle &triangle : mesh->triangles) {
        if (dot(face_normal(mesh, triangle.corners, 3), normal_sum(mesh, triangle.corners, 3)) <= 0.0f) return face;
        face++;
    }
    return -1;
}
