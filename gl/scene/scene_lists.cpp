#include "orj/gl/scene/scene_lists.h"

#include <allegro.h>
#include <alleggl.h>

namespace orj {

// Every corner is sent with immediate-mode calls inside one glBegin for the
// whole mesh. Mesa's list compiler does the same work for every corner however
// it arrives (it deduplicates the corners into an indexed triangle list); the
// calls cost it less than glDrawArrays inside a list, which it unpacks
// corner by corner through a second dispatch, and far less than a glBegin per
// face, each of which starts a primitive of its own.
static inline void send_corner(const SceneObject *mesh, int32_t corner, const TexCoord &tex_coord)
{
    glTexCoord2fv(&tex_coord.s);
    glNormal3fv(&mesh->normals[corner].x);
    glVertex3fv(&mesh->vertices[corner].x);
}

uint32_t compile_mesh_list(const SceneObject *mesh)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    if (mesh->quad_count > 0 || mesh->triangle_count > 0) {
        // A quad a-b-c-d is the fan's two triangles a-b-c and a-c-d, sent in the
        // triangle list: the same triangles with the same last (flat-shading)
        // corners, in one draw with the triangles. The list leaves the last
        // corner's normal and texture coordinate current, as a glVertex call does.
        static const int fan_order[6] = {0, 1, 2, 0, 2, 3};
        glBegin(GL_TRIANGLES);
        for (int32_t q = 0; q < mesh->quad_count; q++) {
            const Quad &quad = mesh->quads[q];
            for (int c : fan_order) send_corner(mesh, quad.corners[c], quad.tex_coords[c]);
        }
        for (int32_t t = 0; t < mesh->triangle_count; t++) {
            const Triangle &triangle = mesh->triangles[t];
            for (int c = 0; c < 3; c++) send_corner(mesh, triangle.corners[c], triangle.tex_coords[c]);
        }
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

}  // namespace orj
