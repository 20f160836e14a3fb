// load_scene and destroy_scene in the engine's window: what a mesh's display
// list draws, captured through OpenGL's feedback mode.
#include <gtest/gtest.h>
// After gtest: the X headers behind AllegroGL define None.
#include <allegro.h>
#include <alleggl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orj/core/scene/scene.h"
#include "orj/gl/scene/scene_load.h"
#include "tests/scene_test_files.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

// One corner as feedback reports it: window position, lit colour, texture coordinate.
struct FedCorner {
    float x, y, red, s, t;
    bool operator<(const FedCorner &other) const { return x != other.x ? x < other.x : y < other.y; }
    bool operator==(const FedCorner &other) const
    {
        return x == other.x && y == other.y && red == other.red && s == other.s && t == other.t;
    }
};

struct FedPolygon {
    std::vector<FedCorner> corners;  // sorted, since feedback may start a triangle at any corner
};

std::string write_scene_file(const std::string &text)
{
    std::string path = make_temp_dir("scene-gl") + "/scene.orj";
    write_file(path, text);
    return path;
}

// One white light along +z, nothing else lit: a corner's red is its normal's z.
void set_up_white_light()
{
    glViewport(0, 0, 640, 480);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glEnable(GL_LIGHTING);
    for (int light = 1; light < 8; light++) glDisable(GL_LIGHT0 + light);
    glEnable(GL_LIGHT0);
    const GLfloat direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glDisable(GL_COLOR_MATERIAL);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
}

// A pixel-for-pixel projection with the white light, and back.
static void begin_pixel_view()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    set_up_white_light();
}

static void end_pixel_view()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

// Calls list under a pixel-for-pixel projection with the white light and
// returns what feedback saw.
std::vector<FedPolygon> feed_back(GLuint list)
{
    begin_pixel_view();
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();

    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    GLint used = glRenderMode(GL_RENDER);

    glPopMatrix();
    end_pixel_view();

    std::vector<FedPolygon> polygons;
    // Each corner: x y z, r g b a, s t r q.
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(buffer[i], (GLfloat)GL_POLYGON_TOKEN);
        if (buffer[i] != (GLfloat)GL_POLYGON_TOKEN) break;
        int count = (int)buffer[i + 1];
        i += 2;
        FedPolygon polygon;
        for (int c = 0; c < count; c++, i += 11)
            polygon.corners.push_back({buffer[i], buffer[i + 1], buffer[i + 3], buffer[i + 7], buffer[i + 8]});
        std::sort(polygon.corners.begin(), polygon.corners.end());
        polygons.push_back(polygon);
    }
    return polygons;
}

// Lit red of a corner is its normal's z; t is stored flipped.
const char *one_quad = " 1\n 0\n Pieza\n Mesh\n 4\n 1\n"
                       "  100 100 0\n  0 0 1\n"
                       "  300 100 0\n  0 0 0.5\n"
                       "  300 300 0\n  0 0 0.25\n"
                       "  100 300 0\n  1 0 0\n"
                       "4\n  1 2 3 4\n"
                       "  0 0 1 0 1 1 0 1\n"
                       " None\n";

const char *one_triangle = " 1\n 0\n Pieza\n Mesh\n 3\n 1\n"
                           "  100 100 0\n  0 0 1\n"
                           "  300 100 0\n  0 0 0.5\n"
                           "  100 300 0\n  0 0 0.25\n"
                           "5\n  3 2 1\n"
                           "  0.5 0.25 0.75 0.5 1 0.125 9 9\n"
                           " None\n";

void expect_polygons(std::vector<FedPolygon> polygons, std::vector<std::vector<FedCorner>> expected)
{
    ASSERT_EQ(polygons.size(), expected.size());
    for (size_t p = 0; p < expected.size(); p++) {
        std::sort(expected[p].begin(), expected[p].end());
        ASSERT_EQ(polygons[p].corners.size(), 3u);
        for (size_t k = 0; k < 3; k++) {
            const FedCorner &got = polygons[p].corners[k], &want = expected[p][k];
            EXPECT_NEAR(got.x, want.x, 1e-3) << p << " " << k;
            EXPECT_NEAR(got.y, want.y, 1e-3) << p << " " << k;
            EXPECT_NEAR(got.red, want.red, 1e-2) << p << " " << k;
            EXPECT_FLOAT_EQ(got.s, want.s) << p << " " << k;
            EXPECT_FLOAT_EQ(got.t, want.t) << p << " " << k;
        }
    }
}

TEST(SceneGl, QuadIsDrawnAsTheFanOfItsCorners)
{
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(one_quad).c_str()), nullptr);
    std::vector<FedPolygon> polygons = feed_back(scene.objects[0].display_list);
    destroy_scene(&scene);
    FedCorner a = {100, 100, 1, 0, 1}, b = {300, 100, 0.5f, 1, 1}, c = {300, 300, 0.25f, 1, 0}, d = {100, 300, 0, 0, 0};
    expect_polygons(polygons, {{a, b, c}, {a, c, d}});
}

TEST(SceneGl, TriangleKeepsItsCornersNormalsAndTextureCoordinates)
{
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(one_triangle).c_str()), nullptr);
    std::vector<FedPolygon> polygons = feed_back(scene.objects[0].display_list);
    destroy_scene(&scene);
    FedCorner c = {100, 300, 0.25f, 0.5f, 0.75f}, b = {300, 100, 0.5f, 0.75f, 0.5f}, a = {100, 100, 1, 1, 0.875f};
    expect_polygons(polygons, {{c, b, a}});
}

// The mixed mesh is checked by drawing it: the triangle, first in the file,
// overlaps the quad and must be drawn over it.
TEST(SceneGl, QuadsAreDrawnBeforeTriangles)
{
    const char *mixed = " 1\n 0\n Pieza\n Mesh\n 7\n 2\n"
                        "  100 100 0\n  0 0 0.5\n  300 100 0\n  0 0 0.5\n  100 300 0\n  0 0 0.5\n"
                        "  50 50 0\n  0 0 1\n  350 50 0\n  0 0 1\n  350 350 0\n  0 0 1\n  50 350 0\n  0 0 1\n"
                        "3\n  1 2 3\n4\n  4 5 6 7\n"
                        "  0 0 0 0 0 0\n  0 0 0 0 0 0 0 0\n"
                        " None\n";
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(mixed).c_str()), nullptr);
    EXPECT_EQ(scene.objects[0].quad_count, 1);
    EXPECT_EQ(scene.objects[0].triangle_count, 1);

    begin_pixel_view();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(scene.objects[0].display_list);
    glFinish();
    unsigned char overlap[4], quad_only[4], outside[4];
    glReadBuffer(GL_BACK);
    glReadPixels(150, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, overlap);
    glReadPixels(320, 320, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, quad_only);
    glReadPixels(500, 400, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, outside);
    end_pixel_view();
    destroy_scene(&scene);

    EXPECT_NEAR(overlap[0], 128, 2);
    EXPECT_EQ(quad_only[0], 255);
    EXPECT_EQ(outside[0], 0);
}

// The mesh as a list of one immediate-mode triangle per face, the way lists
// were first compiled.
GLuint compile_immediately(const SceneObject *mesh)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    auto corner = [&](int32_t index, TexCoord tex_coord) {
        glTexCoord2f(tex_coord.s, tex_coord.t);
        glNormal3f(mesh->normals[index].x, mesh->normals[index].y, mesh->normals[index].z);
        glVertex3f(mesh->vertices[index].x, mesh->vertices[index].y, mesh->vertices[index].z);
    };
    for (int32_t q = 0; q < mesh->quad_count; q++) {
        glBegin(GL_TRIANGLES);
        for (int c : {0, 1, 2, 0, 2, 3}) corner(mesh->quads[q].corners[c], mesh->quads[q].tex_coords[c]);
        glEnd();
    }
    for (int32_t t = 0; t < mesh->triangle_count; t++) {
        glBegin(GL_TRIANGLES);
        for (int c = 0; c < 3; c++) corner(mesh->triangles[t].corners[c], mesh->triangles[t].tex_coords[c]);
        glEnd();
    }
    glEndList();
    return list;
}

// Every value of every corner, in drawing order, then the normal and texture
// coordinate the list left current.
std::vector<GLfloat> feed_back_all(GLuint list, size_t room)
{
    begin_pixel_view();
    std::vector<GLfloat> buffer(room);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glNormal3f(7, 7, 7);
    glTexCoord2f(7, 7);
    glCallList(list);
    GLint used = glRenderMode(GL_RENDER);
    buffer.resize(used < 0 ? 0 : (size_t)used);
    GLfloat current[7];
    glGetFloatv(GL_CURRENT_NORMAL, current);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, current + 3);
    buffer.insert(buffer.end(), current, current + 7);
    end_pixel_view();
    return buffer;
}

// Quads and triangles sharing vertices, normals and texture coordinates that
// change from corner to corner; more corners than Mesa's list compiler holds
// at once (32768 of this size), so that a triangle is split across its batches.
TEST(SceneGl, ListFeedsBackWhatImmediateCallsPerFaceDid)
{
    const int side = 110;  // 109 x 109 cells: a quad every fifth, two triangles elsewhere
    std::string vertices, corners, textures;
    int faces = 0;
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            vertices += "  " + std::to_string(20 + x * 5) + " " + std::to_string(20 + y * 4) + " 0\n  " +
                        std::to_string((x % 5) * 0.1) + " 0 " + std::to_string(0.2 + (y % 8) * 0.1) + "\n";
    for (int y = 0; y + 1 < side; y++)
        for (int x = 0; x + 1 < side; x++) {
            int a = y * side + x + 1, b = a + 1, c = a + side + 1, d = a + side;
            std::string st = std::to_string(x / 64.0) + " " + std::to_string(y / 64.0) + " ";
            if ((x + y) % 5 == 0) {
                corners += "4\n  " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
                           std::to_string(d) + "\n";
                textures += "  " + st + st + "0.5 0.25 " + st + "\n";
                faces++;
            } else {
                corners += "3\n  " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n3\n  " +
                           std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(d) + "\n";
                textures += "  " + st + "1 0 " + st + "\n  0 1 " + st + st + "\n";
                faces += 2;
            }
        }
    std::string text = " 1\n 0\n Malla\n Mesh\n " + std::to_string(side * side) + "\n " + std::to_string(faces) + "\n" +
                       vertices + corners + textures + " None\n";
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(text).c_str()), nullptr);
    const SceneObject &mesh = scene.objects[0];
    ASSERT_GT(3 * (mesh.triangle_count + 2 * mesh.quad_count), 2 * 32768);
    GLuint reference = compile_immediately(&mesh);
    size_t room = (size_t)(mesh.triangle_count + 2 * mesh.quad_count) * (2 + 3 * 11) + 16;
    std::vector<GLfloat> expected = feed_back_all(reference, room), got = feed_back_all(mesh.display_list, room);
    glDeleteLists(reference, 1);
    destroy_scene(&scene);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(got == expected) << got.size() << " values fed back, " << expected.size() << " expected";
}

TEST(SceneGl, OnlyMeshesGetListsAndDestroyDeletesThem)
{
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(worked_example_text()).c_str()), nullptr);
    GLuint list = scene.objects[0].display_list;
    EXPECT_TRUE(glIsList(list));
    EXPECT_EQ(scene.objects[1].display_list, 0u);
    // The quad's two triangles and the triangle.
    EXPECT_EQ(feed_back(list).size(), 3u);
    destroy_scene(&scene);
    EXPECT_FALSE(glIsList(list));
    EXPECT_EQ(scene.objects, nullptr);
    EXPECT_EQ(scene.polygon_count, 3);
}

TEST(SceneGl, EmptyMeshGetsAnEmptyList)
{
    Scene scene;
    ASSERT_NE(load_scene(&scene, write_scene_file(" 1\n 0\n M\n Mesh\n 0\n 0\n None\n").c_str()), nullptr);
    EXPECT_TRUE(glIsList(scene.objects[0].display_list));
    EXPECT_EQ(feed_back(scene.objects[0].display_list).size(), 0u);
    destroy_scene(&scene);
}

TEST(SceneGl, RejectedFileShowsTheMessageAndKeepsNothing)
{
    std::string path =
        write_scene_file(" 1\n 0\n M\n Mesh\n 1\n 1\n  0 0 0\n  0 0 1\n3\n  1 1 2\n  0 0 0 0 0 0\n None\n");
    Scene scene;
    testing::internal::CaptureStderr();
    EXPECT_EQ(load_scene(&scene, path.c_str()), nullptr);
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, path + ":10: vertex number 2 outside 1..1\n");
    EXPECT_EQ(scene.objects, nullptr);
    EXPECT_EQ(load_scene(nullptr, path.c_str()), nullptr);
}

}  // namespace
