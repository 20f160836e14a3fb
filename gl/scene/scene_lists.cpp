#include "gl/scene/scene_lists.h"

#include <allegro.h>
#include <alleggl.h>

#include <cassert>

static void send_corner(const SceneObject *mesh, int32_t corner, TexCoord tex_coord)
{
    // The reader has checked every corner against the mesh's vertices.
    assert(corner >= 0 && corner < mesh->vertex_count);
    const Vector3 &normal = mesh->normals[corner];
    const Vector3 &vertex = mesh->vertices[corner];
    glTexCoord2f(tex_coord.s, tex_coord.t);
    glNormal3f(normal.x, normal.y, normal.z);
    glVertex3f(vertex.x, vertex.y, vertex.z);
}

uint32_t compile_mesh_list(const SceneObject *mesh)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    // A quad a-b-c-d is the fan's two triangles a-b-c and a-c-d, sent as a
    // triangle list: the same triangles with the same last (flat-shading)
    // corners, but consecutive lists merge into one draw where fans do not.
    static const int fan_order[6] = {0, 1, 2, 0, 2, 3};
    for (int32_t q = 0; q < mesh->quad_count; q++) {
        const Quad &quad = mesh->quads[q];
        glBegin(GL_TRIANGLES);
        for (int c : fan_order) send_corner(mesh, quad.corners[c], quad.tex_coords[c]);
        glEnd();
    }
    for (int32_t t = 0; t < mesh->triangle_count; t++) {
        const Triangle &triangle = mesh->triangles[t];
        glBegin(GL_TRIANGLES);
        for (int c = 0; c < 3; c++) send_corner(mesh, triangle.corners[c], triangle.tex_coords[c]);
        glEnd();
    }
    glEndList();
    return list;
}

void compile_scene_lists(Scene *scene)
{
    for (int32_t i = 0; i < scene->object_count; i++) {
        SceneObject *object = &scene->objects[i];
        if (object->kind == Mesh) object->display_list = compile_mesh_list(object);
    }
}
