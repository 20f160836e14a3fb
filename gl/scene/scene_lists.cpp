#include "gl/scene/scene_lists.h"

#include <allegro.h>
#include <alleggl.h>

// Corners are sent from arrays in batches of this many triangles: a buffer
// small enough to stay in the cache, large enough that the calls are few.
static const int BATCH_TRIANGLES = 2048;

// One corner as OpenGL reads it from the arrays.
struct Corner {
    TexCoord tex_coord;
    Vector3 normal;
    Vector3 vertex;
};

struct CornerBatch {
    Corner corners[BATCH_TRIANGLES * 3];
    int count;
};

static void draw_batch(CornerBatch *batch)
{
    if (batch->count > 0) glDrawArrays(GL_TRIANGLES, 0, batch->count);
    batch->count = 0;
}

static void add_corner(CornerBatch *batch, const SceneObject *mesh, int32_t corner, TexCoord tex_coord)
{
    Corner *out = &batch->corners[batch->count++];
    out->tex_coord = tex_coord;
    out->normal = mesh->normals[corner];
    out->vertex = mesh->vertices[corner];
}

uint32_t compile_mesh_list(const SceneObject *mesh)
{
    static CornerBatch batch;
    GLuint list = glGenLists(1);
    // The array pointers are client state, not part of the list: glDrawArrays
    // copies the corners into the list as it is compiled.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Corner), &batch.corners[0].tex_coord);
    glNormalPointer(GL_FLOAT, sizeof(Corner), &batch.corners[0].normal);
    glVertexPointer(3, GL_FLOAT, sizeof(Corner), &batch.corners[0].vertex);
    glNewList(list, GL_COMPILE);
    batch.count = 0;
    // A quad a-b-c-d is the fan's two triangles a-b-c and a-c-d, sent as a
    // triangle list: the same triangles with the same last (flat-shading)
    // corners, in one draw with the triangles.
    static const int fan_order[6] = {0, 1, 2, 0, 2, 3};
    const Corner *last = nullptr;
    for (int32_t q = 0; q < mesh->quad_count; q++) {
        if (batch.count + 6 > BATCH_TRIANGLES * 3) draw_batch(&batch);
        const Quad &quad = mesh->quads[q];
        for (int c : fan_order) add_corner(&batch, mesh, quad.corners[c], quad.tex_coords[c]);
    }
    for (int32_t t = 0; t < mesh->triangle_count; t++) {
        if (batch.count + 3 > BATCH_TRIANGLES * 3) draw_batch(&batch);
        const Triangle &triangle = mesh->triangles[t];
        for (int c = 0; c < 3; c++) add_corner(&batch, mesh, triangle.corners[c], triangle.tex_coords[c]);
    }
    Corner final_corner = {};
    if (batch.count > 0) {
        last = &batch.corners[batch.count - 1];
        final_corner = *last;
    }
    draw_batch(&batch);
    // Drawing from arrays leaves the current normal and texture coordinate
    // undefined; the list sets them to its last corner's, as glVertex calls did.
    if (last) {
        glTexCoord2f(final_corner.tex_coord.s, final_corner.tex_coord.t);
        glNormal3f(final_corner.normal.x, final_corner.normal.y, final_corner.normal.z);
    }
    glEndList();
    glPopClientAttrib();
    return list;
}

void compile_scene_lists(Scene *scene)
{
    for (int32_t i = 0; i < scene->object_count; i++) {
        SceneObject *object = &scene->objects[i];
        if (object->kind == Mesh) object->display_list = compile_mesh_list(object);
    }
}
