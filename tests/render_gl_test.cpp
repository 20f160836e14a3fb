// Drawing, cameras, lamps' lights and textures in a real OpenGL window: the
// matrices and lights read back with glGet, the pixels with glReadPixels.
#include <gtest/gtest.h>
// gtest first: the X11 headers under alleggl.h define None.
#include <allegro.h>
#include <alleggl.h>
#include <jpgalleg.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orj/gl/display/render_state.h"
#include "orj/gl/render/camera.h"
#include "orj/gl/render/draw.h"
#include "orj/gl/render/texture.h"
#include "orj/core/scene/scene.h"
#include "orj/core/scene/scene_reader.h"
#include "orj/gl/scene/scene_load.h"
#include "tests/support/test_support.h"

using namespace orj;

// The drawing state of the one window these run in.
static RenderState render;

// ---- Scene files written for the tests.

struct FrameLine {
    float x, y, z;     // location, common space
    float rx, ry, rz;  // rotation in degrees (written as radians)
    float sx, sy, sz;  // scale
};

struct TestObject {
    std::string name;
    std::string type;    // "Mesh", "Camera", "Lamp"
    std::string parent;  // empty: a root
    std::vector<FrameLine> frames;
    bool quad;  // a Mesh with one 1x1 quad in the xy plane, centred on its origin, facing +z
};

static FrameLine at(float x, float y, float z, float rx = 0, float ry = 0, float rz = 0, float sx = 1, float sy = 1,
                    float sz = 1)
{
    return {x, y, z, rx, ry, rz, sx, sy, sz};
}

static std::string scene_text(const std::vector<TestObject> &objects)
{
    const double degrees_per_radian = 57.29746936176985;
    std::string text = " " + std::to_string(objects.size()) + "\n " + std::to_string(objects[0].frames.size()) + "\n";
    char line[300];
    for (const TestObject &object : objects) {
        text += " " + object.name + "\n " + object.type + "\n";
        if (object.type == "Mesh") {
            if (object.quad) {
                // Texture t runs up the quad here, as in the files; the reader flips it.
                text += " 4\n 1\n"
                        "  -0.5 -0.5 0\n  0 0 1\n  0.5 -0.5 0\n  0 0 1\n"
                        "  0.5 0.5 0\n  0 0 1\n  -0.5 0.5 0\n  0 0 1\n"
                        "4\n  1 2 3 4\n"
                        "  0 0 1 0 1 1 0 1\n";
            } else {
                text += " 0\n 0\n";
            }
        }
        for (const FrameLine &f : object.frames) {
            // Signs are written by hand so that -0.0 keeps its sign.
            snprintf(line, sizeof line, "  %.6f %.6f %.6f %.9f %.9f %.9f %s%.9g %s%.9g %s%.9g\n", f.x, f.y, f.z,
                     f.rx / degrees_per_radian, f.ry / degrees_per_radian, f.rz / degrees_per_radian,
                     std::signbit(f.sx) ? "-" : "", std::fabs(f.sx), std::signbit(f.sy) ? "-" : "", std::fabs(f.sy),
                     std::signbit(f.sz) ? "-" : "", std::fabs(f.sz));
            text += line;
        }
        text += object.parent.empty() ? " None\n" : " parent: '" + object.parent + "'.\n";
    }
    return text;
}

// Records only (no display lists): enough for cameras and lamps.
static void read_records(Scene *scene, const std::vector<TestObject> &objects)
{
    std::string text = scene_text(objects);
    Error error;
    ASSERT_EQ(read_scene_text(scene, text.data(), text.size(), "test.orj", &error), ERROR_NONE) << error.message << "\n"
                                                                                                << text;
}

// Through a file and load_scene, with the meshes compiled into display lists.
static void load_compiled(Scene *scene, const std::vector<TestObject> &objects)
{
    std::string path = make_temp_dir("render") + "/scene.orj";
    write_file(path, scene_text(objects));
    ASSERT_NE(load_scene(scene, path.c_str()), nullptr) << path;
}

// ---- Matrices, lights and pixels.

static void expect_matrix(const float expected[16], const char *what)
{
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(m[i], expected[i], 1e-4f) << what << ", entry " << i;
}

static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

static void load_sentinel_matrix()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(7, 8, 9);
}

static const float sentinel[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};

// The viewer's projection on the whole window, plain white untextured faces
// on black, depth test and back-face culling on.
static void plain_state()
{
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -0.5, 0.5, 1.0, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glColor4f(1, 1, 1, 1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

struct Pixel {
    int r, g, b;
};

// x from the left, y from the bottom, as OpenGL counts them.
static Pixel read_pixel(int x, int y)
{
    glFinish();
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

static bool is_black(Pixel p) { return p.r == 0 && p.g == 0 && p.b == 0; }
static bool is_white(Pixel p) { return p.r == 255 && p.g == 255 && p.b == 255; }

static ::testing::AssertionResult near_colour(Pixel p, int r, int g, int b, int tolerance)
{
    if (std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << p.r << "," << p.g << "," << p.b << " is not " << r << "," << g
                                         << "," << b;
}

// ---- Cameras.

TEST(Camera, LoadsTheNegatedLocationAndRotations)
{
    Scene scene;
    read_records(&scene, {
                             {"atras", "Camera", "", {at(0, 0, 5), at(0, 0, 8)}, false},
                             {"arriba", "Camera", "", {at(0, 0, 0, 90, 0, 0), at(0, 0, 0, 90, 0, 0)}, false},
                         });
    load_sentinel_matrix();
    EXPECT_EQ(apply_camera(&scene, "atras", 0), 1);
    const float back5[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1};
    expect_matrix(back5, "camera at (0, 0, 5)");

    EXPECT_EQ(apply_camera(&scene, "atras", 1), 1);
    const float back8[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -8, 1};
    expect_matrix(back8, "the camera's location at frame 1");

    // A rotation of 90 degrees about x gives the view turned by -90: y goes to -z, z to y.
    EXPECT_EQ(apply_camera(&scene, "arriba", 0), 1);
    const float down[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    expect_matrix(down, "camera turned 90 degrees about x");
    free_scene_records(&scene);
}

TEST(Camera, RotationsAreUndoneInTheOrderXYZ)
{
    // View = Rx(-rx) Ry(-ry) Rz(-rz) T(-L): the point the camera stands on goes to the eye.
    Scene scene;
    read_records(&scene, {{"cam", "Camera", "", {at(1, 2, 3, 30, 40, 50)}, false}});
    load_sentinel_matrix();
    ASSERT_EQ(apply_camera(&scene, "cam", 0), 1);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int row = 0; row < 3; row++) EXPECT_NEAR(m[row] * 1 + m[4 + row] * 2 + m[8 + row] * 3 + m[12 + row], 0, 1e-4f);
    // The first column is Rx(-30) Ry(-40) Rz(-50) applied to the x axis.
    const double d = 3.14159265358979 / 180, a = -30 * d, b = -40 * d, c = -50 * d;
    double x0 = std::cos(b) * std::cos(c), y0 = std::sin(c), z0 = -std::sin(b) * std::cos(c);
    EXPECT_NEAR(m[0], x0, 1e-4);
    EXPECT_NEAR(m[1], std::cos(a) * y0 - std::sin(a) * z0, 1e-4);
    EXPECT_NEAR(m[2], std::sin(a) * y0 + std::cos(a) * z0, 1e-4);
    free_scene_records(&scene);
}

TEST(Camera, FindsTheFirstCameraOfTheNameAndPassesOverOtherKinds)
{
    Scene scene;
    read_records(&scene, {
                             {"vista", "Mesh", "", {at(0, 0, 1)}, false},
                             {"vista", "Lamp", "", {at(0, 0, 2)}, false},
                             {"vista", "Camera", "", {at(0, 0, 3, 0, 0, 0, 0, 0, 0)}, false},
                             {"vista", "Camera", "", {at(0, 0, 4)}, false},
                             {"ultima", "Camera", "", {at(0, 0, 6)}, false},
                         });
    load_sentinel_matrix();
    // The mesh and lamp namesakes are passed over; of the two cameras the earlier one wins,
    // hidden though it is by its zero scale.
    EXPECT_EQ(apply_camera(&scene, "vista", 0), 1);
    const float back3[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -3, 1};
    expect_matrix(back3, "first camera called vista");

    EXPECT_EQ(apply_camera(&scene, "ultima", 0), 1);
    const float back6[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -6, 1};
    expect_matrix(back6, "the last object");
    free_scene_records(&scene);
}

TEST(Camera, UnknownNamesLeaveTheMatrixAlone)
{
    Scene scene;
    read_records(&scene, {
                             {"Camera", "Camera", "", {at(0, 0, 5), at(0, 0, 5)}, false},
                             {"solo_malla", "Mesh", "", {at(0, 0, 5), at(0, 0, 5)}, false},
                         });
    for (const char *name : {"camera", "CAMERA", "Camera ", "camara4", "solo_malla", ""}) {
        load_sentinel_matrix();
        EXPECT_EQ(apply_camera(&scene, name, 0), 0) << "'" << name << "'";
        expect_matrix(sentinel, name);
    }
    // A frame outside the scene's frames finds nothing to read.
    load_sentinel_matrix();
    EXPECT_EQ(apply_camera(&scene, "Camera", 2), 0);
    EXPECT_EQ(apply_camera(&scene, "Camera", -1), 0);
    expect_matrix(sentinel, "frame outside the scene");

    Scene empty = {};
    EXPECT_EQ(apply_camera(&empty, "Camera", 0), 0);
    expect_matrix(sentinel, "empty scene");
    free_scene_records(&scene);
}

// ---- Drawing: visibility, the hierarchy and the pixels a quad lands on.

// At 5 units in front of the eye the viewer's frustum shows 5 units across:
// one unit is 128 pixels across and 96 up.
static int column_of(float x) { return (int)std::lround(320 + 128 * x); }
static int row_of(float y) { return (int)std::lround(240 + 96 * y); }

TEST(Draw, ZeroScaleHidesTheObjectAndItsChildren)
{
    // Frames: 0 all shown; 1 parent scaled (1, 0, 1); 2 parent scaled (1, -0.0, 1);
    // 3 parent scaled (1, 1, -1); 4 the child alone scaled 0.
    Scene scene;
    load_compiled(&scene, {
                              {"padre",
                               "Mesh",
                               "",
                               {at(-1, 0, -5), at(-1, 0, -5, 0, 0, 0, 1, 0, 1), at(-1, 0, -5, 0, 0, 0, 1, -0.0f, 1),
                                at(-1, 0, -5, 0, 0, 0, 1, 1, -1), at(-1, 0, -5)},
                               true},
                              {"hijo",
                               "Mesh",
                               "padre",
                               {at(1, 0, -5), at(1, 0, -5), at(1, 0, -5), at(1, 0, -5), at(1, 0, -5, 0, 0, 0, 0, 1, 1)},
                               true},
                          });
    struct Case {
        int frame;
        bool parent_shown, child_shown;
    };
    for (Case c : {Case{0, true, true}, Case{1, false, false}, Case{2, false, false}, Case{3, true, true},
                   Case{4, true, false}}) {
        plain_state();
        // A mirrored object turns its faces around: look at both sides here.
        glDisable(GL_CULL_FACE);
        draw_scene(&scene, 0, c.frame, &render);
        EXPECT_EQ(is_white(read_pixel(column_of(-1), row_of(0))), c.parent_shown) << "frame " << c.frame;
        EXPECT_EQ(is_white(read_pixel(column_of(1), row_of(0))), c.child_shown) << "frame " << c.frame;
        expect_matrix(identity, "draw_scene leaves the matrix as it found it");
    }
    // A frame outside the scene draws nothing.
    plain_state();
    draw_scene(&scene, 0, 5, &render);
    EXPECT_TRUE(is_black(read_pixel(column_of(-1), row_of(0))));
    destroy_scene(&scene);
}

TEST(Draw, AZeroOnAnyAxisHidesEvenWhatDrawsNoPixels)
{
    // A lamp below the object shows whether the walk went on: a hidden object
    // sets up no light below it, a flattened one would.
    const int frames = 7;
    const FrameLine parent_scales[frames] = {at(0, 0, 0, 0, 0, 0, 0, 1, 1),     at(0, 0, 0, 0, 0, 0, 1, 0, 1),
                                             at(0, 0, 0, 0, 0, 0, 1, 1, 0),     at(0, 0, 0, 0, 0, 0, 1, -0.0f, 1),
                                             at(0, 0, 0, 0, 0, 0, -1, 1, 1),    at(0, 0, 0, 0, 0, 0, 1, 1, 1),
                                             at(0, 0, 0, 0, 0, 0, 1e-30f, 1, 1)};
    TestObject parent = {"caja", "Mesh", "", {}, false};
    TestObject lamp = {"foco", "Lamp", "caja", {}, false};
    for (int f = 0; f < frames; f++) {
        parent.frames.push_back(parent_scales[f]);
        // At frame 5 the lamp hides itself.
        lamp.frames.push_back(f == 5 ? at(0, 0, 0, 1, 1, 1, 0, 1, 1) : at(0, 0, 0, 1, 1, 1));
    }
    Scene scene;
    read_records(&scene, {parent, lamp});
    const bool lit[frames] = {false, false, false, false, true, false, true};
    int saved = render.lights_on;
    render.lights_on = 0;
    for (int f = 0; f < frames; f++) {
        render.next_light = 1;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        draw_scene(&scene, 0, f, &render);
        EXPECT_EQ(render.next_light, lit[f] ? 2 : 1) << "frame " << f;
        expect_matrix(identity, "the matrix stack is left as it was");
    }
    render.lights_on = saved;
    render.next_light = 1;
    free_scene_records(&scene);
}

TEST(Draw, ChildrenFollowTheParentsTransform)
{
    // The parent turns 90 degrees about z and doubles its size at frame 1: the
    // child, 1 unit to its right at frame 0, goes 2 units above it.
    Scene scene;
    load_compiled(&scene, {
                              {"base", "Mesh", "", {at(0, 0, -8), at(0, 0, -8, 0, 0, 90, 2, 2, 2)}, false},
                              {"brazo",
                               "Mesh",
                               "base",
                               {at(1, 0, -8, 0, 0, 0, 0.25f, 0.25f, 0.25f), at(1, 0, -8, 0, 0, 0, 0.25f, 0.25f, 0.25f)},
                               true},
                          });
    // At 8 units one unit is 80 pixels across and 60 up.
    plain_state();
    draw_scene(&scene, 0, 0, &render);
    EXPECT_TRUE(is_white(read_pixel(320 + 80, 240)));
    EXPECT_TRUE(is_black(read_pixel(320, 240 + 120)));
    plain_state();
    draw_scene(&scene, 0, 1, &render);
    EXPECT_TRUE(is_black(read_pixel(320 + 80, 240)));
    EXPECT_TRUE(is_white(read_pixel(320, 240 + 120)));
    destroy_scene(&scene);
}

// A 4x4 image: top left red, top right green, bottom left blue, bottom right white.
static BITMAP *make_quadrant_bitmap()
{
    BITMAP *bitmap = create_bitmap_ex(32, 4, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            uint8_t *p = &bitmap->line[y][x * 4];
            bool top = y < 2, left = x < 2;
            p[0] = (top && left) || (!top && !left) ? 255 : 0;
            p[1] = (top && !left) || (!top && !left) ? 255 : 0;
            p[2] = !top ? 255 : 0;
            p[3] = 255;
        }
    return bitmap;
}

TEST(Draw, AQuadSeenThroughACameraLandsOnTheExpectedPixels)
{
    Scene scene;
    load_compiled(&scene, {
                              {"cuadro", "Mesh", "", {at(0, 0, 0)}, true},
                              {"frente", "Camera", "", {at(0, 0, 5)}, false},
                              {"lado", "Camera", "", {at(1, 0, 5)}, false},
                              {"detras", "Camera", "", {at(0, 0, -5, 0, 180, 0)}, false},
                          });
    BITMAP *bitmap = make_quadrant_bitmap();
    uint32_t texture = make_texture(bitmap);
    destroy_bitmap(bitmap);

    plain_state();
    glEnable(GL_TEXTURE_2D);
    ASSERT_EQ(apply_camera(&scene, "frente", 0), 1);
    draw_scene(&scene, texture, 0, &render);
    // The quad covers x 256..383 and y 192..287; the image stands upright on it.
    EXPECT_TRUE(near_colour(read_pixel(288, 264), 255, 0, 0, 2)) << "top left";
    EXPECT_TRUE(near_colour(read_pixel(352, 264), 0, 255, 0, 2)) << "top right";
    EXPECT_TRUE(near_colour(read_pixel(288, 216), 0, 0, 255, 2)) << "bottom left";
    EXPECT_TRUE(near_colour(read_pixel(352, 216), 255, 255, 255, 2)) << "bottom right";
    for (int x : {252, 388}) EXPECT_TRUE(is_black(read_pixel(x, 240))) << x;
    for (int y : {188, 292}) EXPECT_TRUE(is_black(read_pixel(320, y))) << y;
    EXPECT_TRUE(!is_black(read_pixel(258, 194)) && !is_black(read_pixel(381, 285))) << "corners inside";

    // One unit to the right, the camera sees the quad 128 pixels further left.
    plain_state();
    glEnable(GL_TEXTURE_2D);
    ASSERT_EQ(apply_camera(&scene, "lado", 0), 1);
    draw_scene(&scene, texture, 0, &render);
    EXPECT_TRUE(near_colour(read_pixel(160, 264), 255, 0, 0, 2));
    EXPECT_TRUE(is_black(read_pixel(320, 240)));

    // From behind, the quad shows its back and is culled.
    plain_state();
    ASSERT_EQ(apply_camera(&scene, "detras", 0), 1);
    draw_scene(&scene, texture, 0, &render);
    EXPECT_TRUE(is_black(read_pixel(320, 240)));
    destroy_scene(&scene);
}

TEST(Draw, TheViewersRenderStateShowsTheQuadLitAndFogged)
{
    Scene scene;
    load_compiled(&scene, {
                              {"cuadro", "Mesh", "", {at(0, 0, 0)}, true},
                              {"frente", "Camera", "", {at(0, 0, 5)}, false},
                          });
    BITMAP *bitmap = make_quadrant_bitmap();
    uint32_t texture = make_texture(bitmap);
    destroy_bitmap(bitmap);
    for (int light = 0; light < 8; light++) glDisable(GL_LIGHT0 + light);

    set_render_state(&render);
    ASSERT_EQ(apply_camera(&scene, "frente", 0), 1);
    draw_scene(&scene, texture, 0, &render);
    // Lit by the material's emission alone (no lamp): half the texel, faded a
    // little (by 1.5 percent at 5 units) towards the clear colour by the fog.
    EXPECT_TRUE(near_colour(read_pixel(100, 100), 25, 25, 127, 2));
    EXPECT_TRUE(near_colour(read_pixel(352, 216), 126, 126, 128, 3)) << "white texel";
    EXPECT_TRUE(near_colour(read_pixel(288, 264), 126, 0, 2, 3)) << "red texel";
    EXPECT_TRUE(near_colour(read_pixel(420, 240), 25, 25, 127, 2));
    destroy_scene(&scene);
}

// ---- Lamps.

static void expect_light(GLenum light, GLenum what, std::vector<float> expected, const char *label)
{
    float got[4] = {};
    glGetLightfv(light, what, got);
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(got[i], expected[i], 1e-4f) << label << " light " << light - GL_LIGHT0 << " component " << i;
}

class Lamps : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Frame 1 hides the first lamp.
        read_records(&scene,
                     {
                         {"calida", "Lamp", "", {at(1, 2, 3, 0.8f, 0.6f, 0.3f), at(1, 2, 3, 0, 0, 0, 0, 0, 0)}, false},
                         {"fria", "Lamp", "", {at(-1, 0, 0, 0.2f, 0.4f, 0.9f), at(-1, 0, 0, 0.2f, 0.4f, 0.9f)}, false},
                         {"soporte", "Camera", "", {at(0, 0, -2), at(0, 0, -2)}, false},
                         {"colgada", "Lamp", "soporte", {at(2, 0, -2, 1, 1, 1), at(2, 0, -2, 1, 1, 1)}, false},
                     });
        glGetIntegerv(GL_MAX_LIGHTS, &max_lights);
        for (int light = 0; light < max_lights; light++) glDisable(GL_LIGHT0 + light);
        saved_lights_on = render.lights_on;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -5);
    }
    void TearDown() override
    {
        render.lights_on = saved_lights_on;
        render.next_light = 1;
        free_scene_records(&scene);
    }
    Scene scene;
    GLint max_lights = 0;
    int saved_lights_on = 1;
};

TEST_F(Lamps, EachLampTakesTheNextLightAtItsPlaceInEyeSpace)
{
    render.lights_on = 1;
    render.next_light = 1;
    draw_scene(&scene, 0, 0, &render);
    EXPECT_EQ(render.next_light, 4);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    for (GLenum light : {GL_LIGHT1, GL_LIGHT2, GL_LIGHT3}) EXPECT_TRUE(glIsEnabled(light)) << light - GL_LIGHT0;
    expect_light(GL_LIGHT1, GL_POSITION, {1, 2, -2, 1}, "first lamp");
    expect_light(GL_LIGHT2, GL_POSITION, {-1, 0, -5, 1}, "second lamp");
    // A lamp below a camera stands where the camera's transform puts it.
    expect_light(GL_LIGHT3, GL_POSITION, {2, 0, -7, 1}, "lamp hanging from a camera");

    // The colour is the rotation in degrees; the rest is fixed.
    expect_light(GL_LIGHT1, GL_DIFFUSE, {0.8f, 0.6f, 0.3f, 0.3f}, "first lamp");
    expect_light(GL_LIGHT2, GL_DIFFUSE, {0.2f, 0.4f, 0.9f, 0.3f}, "second lamp");
    expect_light(GL_LIGHT1, GL_SPECULAR, {1, 1, 1, 1}, "first lamp");
    expect_light(GL_LIGHT1, GL_AMBIENT, {0, 0, 0, 1}, "first lamp");
    expect_light(GL_LIGHT1, GL_CONSTANT_ATTENUATION, {1}, "first lamp");
    expect_light(GL_LIGHT1, GL_LINEAR_ATTENUATION, {0.1f}, "first lamp");
    expect_light(GL_LIGHT1, GL_QUADRATIC_ATTENUATION, {0}, "first lamp");
    expect_light(GL_LIGHT1, GL_SPOT_CUTOFF, {180}, "first lamp");
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], -5) << "the matrix stack is left as it was";
}

TEST_F(Lamps, LightsStayOffWhileTheSwitchIsOff)
{
    render.lights_on = 1;
    render.next_light = 1;
    draw_scene(&scene, 0, 0, &render);
    render.lights_on = 0;
    render.next_light = 1;
    draw_scene(&scene, 0, 0, &render);
    EXPECT_EQ(render.next_light, 4);
    for (GLenum light : {GL_LIGHT1, GL_LIGHT2, GL_LIGHT3}) EXPECT_FALSE(glIsEnabled(light)) << light - GL_LIGHT0;
    // Set up all the same, ready for the switch.
    expect_light(GL_LIGHT2, GL_POSITION, {-1, 0, -5, 1}, "second lamp");
}

TEST_F(Lamps, AHiddenLampLeavesItsLightToTheNext)
{
    render.lights_on = 1;
    render.next_light = 0;
    draw_scene(&scene, 0, 1, &render);
    EXPECT_EQ(render.next_light, 2);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    expect_light(GL_LIGHT0, GL_POSITION, {-1, 0, -5, 1}, "second lamp in the first light");
    expect_light(GL_LIGHT0, GL_DIFFUSE, {0.2f, 0.4f, 0.9f, 0.3f}, "second lamp in the first light");
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
}

TEST_F(Lamps, LampsBeyondTheLastLightSetUpNothing)
{
    const float marker[4] = {0.25f, 0.5f, 0.75f, 1};
    GLenum last = GL_LIGHT0 + max_lights - 1;
    render.lights_on = 1;
    render.next_light = max_lights - 1;
    draw_scene(&scene, 0, 0, &render);
    EXPECT_EQ(render.next_light, max_lights);
    EXPECT_TRUE(glIsEnabled(last));
    expect_light(last, GL_DIFFUSE, {0.8f, 0.6f, 0.3f, 0.3f}, "the first lamp takes the last light");

    glLightfv(last, GL_DIFFUSE, marker);
    glDisable(last);
    draw_scene(&scene, 0, 0, &render);
    EXPECT_EQ(render.next_light, max_lights);
    EXPECT_FALSE(glIsEnabled(last));
    expect_light(last, GL_DIFFUSE, {0.25f, 0.5f, 0.75f, 1}, "no light is touched");
}

// ---- Textures.

static std::vector<uint8_t> texture_level(int level, int *width, int *height)
{
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, height);
    std::vector<uint8_t> texels((size_t)*width * *height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

static GLint texture_parameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST(Texture, MakeTextureSetsItsParametersAndKeepsTheImageUpright)
{
    BITMAP *bitmap = make_quadrant_bitmap();
    glBindTexture(GL_TEXTURE_2D, 0);
    uint32_t name = make_texture(bitmap);
    destroy_bitmap(bitmap);
    ASSERT_NE(name, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((uint32_t)bound, name);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);

    // The image's top row is the texture's first row (t = 0), bytes red, green, blue, alpha.
    int width = 0, height = 0;
    std::vector<uint8_t> texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 4);
    const uint8_t top_left[4] = {255, 0, 0, 255}, bottom_right[4] = {255, 255, 255, 255};
    EXPECT_EQ(memcmp(&texels[0], top_left, 4), 0);
    EXPECT_EQ(memcmp(&texels[(3 * 4 + 3) * 4], bottom_right, 4), 0);
    texture_level(2, &width, &height);
    EXPECT_EQ(width, 1) << "the whole mipmap chain is built";
}

TEST(Texture, SidesThatAreNotPowersOfTwoAreRescaled)
{
    BITMAP *bitmap = create_bitmap_ex(32, 100, 60);
    clear_to_color(bitmap, 0);
    uint32_t name = make_texture(bitmap);
    destroy_bitmap(bitmap);
    ASSERT_NE(name, 0u);
    int width = 0, height = 0;
    texture_level(0, &width, &height);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_EQ(width & (width - 1), 0) << width;
    EXPECT_EQ(height & (height - 1), 0) << height;
}

TEST(Texture, OtherDepthsAndSubBitmapsAreReadPixelByPixel)
{
    // A 24-bit bitmap holds three bytes a pixel: the texture must not read four.
    BITMAP *rgb = create_bitmap_ex(24, 4, 2);
    clear_to_color(rgb, makecol24(10, 20, 30));
    putpixel(rgb, 3, 1, makecol24(200, 100, 50));
    make_texture(rgb);
    destroy_bitmap(rgb);
    int width = 0, height = 0;
    std::vector<uint8_t> texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 2);
    const uint8_t first[4] = {10, 20, 30, 255}, last[4] = {200, 100, 50, 255};
    EXPECT_EQ(memcmp(&texels[0], first, 4), 0);
    EXPECT_EQ(memcmp(&texels[7 * 4], last, 4), 0);

    // A sub-bitmap's rows lie apart in its parent: the texture takes its own pixels only.
    BITMAP *parent = make_quadrant_bitmap();
    BITMAP *corner = create_sub_bitmap(parent, 2, 0, 2, 2);
    make_texture(corner);
    destroy_bitmap(corner);
    destroy_bitmap(parent);
    texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 2);
    for (int i = 0; i < 4; i++) EXPECT_EQ(texels[i * 4 + 1], 255) << "texel " << i << " should be green";
    EXPECT_EQ(texels[0], 0);
}

static BITMAP *bitmap_with_alpha(int w, int h, uint8_t alpha)
{
    BITMAP *bitmap = create_bitmap_ex(32, w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t *p = &bitmap->line[y][x * 4];
            p[0] = (uint8_t)(10 * x);
            p[1] = (uint8_t)(20 * y);
            p[2] = 30;
            p[3] = alpha;
        }
    return bitmap;
}

TEST(Texture, FillMissingAlphaMakesAnImageWithoutAlphaOpaque)
{
    BITMAP *bitmap = bitmap_with_alpha(5, 3, 0);
    fill_missing_alpha(bitmap);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            const uint8_t *p = &bitmap->line[y][x * 4];
            EXPECT_EQ(p[3], 255);
            EXPECT_EQ(p[0], 10 * x);
            EXPECT_EQ(p[1], 20 * y);
        }
    destroy_bitmap(bitmap);

    // One pixel that carries alpha makes the image one with alpha: nothing changes.
    bitmap = bitmap_with_alpha(5, 3, 0);
    bitmap->line[2][4 * 4 + 3] = 1;
    fill_missing_alpha(bitmap);
    EXPECT_EQ(bitmap->line[0][3], 0);
    EXPECT_EQ(bitmap->line[2][4 * 4 + 3], 1);
    destroy_bitmap(bitmap);
}

// An uncompressed TGA, rows written from the bottom up; pixels given top row
// first as red, green, blue (and alpha when bits is 32).
static void write_tga(const std::string &path, int w, int h, int bits, const std::vector<uint8_t> &pixels)
{
    int channels = bits / 8;
    std::string data(18, '\0');
    data[2] = 2;
    data[12] = (char)w;
    data[14] = (char)h;
    data[16] = (char)bits;
    data[17] = (char)(bits == 32 ? 8 : 0);
    for (int y = h - 1; y >= 0; y--)
        for (int x = 0; x < w; x++) {
            const uint8_t *p = &pixels[((size_t)y * w + x) * channels];
            data += (char)p[2];
            data += (char)p[1];
            data += (char)p[0];
            if (channels == 4) data += (char)p[3];
        }
    write_file(path, data);
}

TEST(Texture, LoadsA24BitTgaAsAnOpaqueTexture)
{
    std::string path = make_temp_dir("texture") + "/rgb.tga";
    write_tga(path, 2, 2, 24, {200, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110});
    uint32_t name = load_texture(path.c_str());
    ASSERT_NE(name, 0u);
    int width = 0, height = 0;
    std::vector<uint8_t> texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 2);
    const uint8_t expected[16] = {200, 10, 20, 255, 30, 40, 50, 255, 60, 70, 80, 255, 90, 100, 110, 255};
    EXPECT_EQ(memcmp(texels.data(), expected, 16), 0);
}

TEST(Texture, KeepsTheAlphaOfA32BitTga)
{
    std::string path = make_temp_dir("texture") + "/rgba.tga";
    write_tga(path, 2, 1, 32, {255, 0, 255, 255, 1, 2, 3, 0});
    uint32_t name = load_texture(path.c_str());
    ASSERT_NE(name, 0u);
    int width = 0, height = 0;
    std::vector<uint8_t> texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 1);
    const uint8_t expected[8] = {255, 0, 255, 255, 1, 2, 3, 0};
    EXPECT_EQ(memcmp(texels.data(), expected, 8), 0);
}

TEST(Texture, LoadsAJpegThroughTheSecondLoader)
{
    std::string path = make_temp_dir("texture") + "/flat.jpg";
    BITMAP *bitmap = create_bitmap_ex(32, 16, 8);
    clear_to_color(bitmap, makecol32(200, 60, 30));
    ASSERT_EQ(save_jpg_ex(path.c_str(), bitmap, nullptr, 95, JPG_SAMPLING_444, nullptr), 0);
    destroy_bitmap(bitmap);

    uint32_t name = load_texture(path.c_str());
    ASSERT_NE(name, 0u);
    int width = 0, height = 0;
    std::vector<uint8_t> texels = texture_level(0, &width, &height);
    ASSERT_EQ(width, 16);
    ASSERT_EQ(height, 8);
    EXPECT_NEAR(texels[0], 200, 6);
    EXPECT_NEAR(texels[1], 60, 6);
    EXPECT_NEAR(texels[2], 30, 6);
    EXPECT_EQ(texels[3], 255) << "a JPEG has no alpha: it must arrive opaque";
}

TEST(Texture, AMissingImageGivesTextureZeroAfterItsMessage)
{
    std::string path = make_temp_dir("texture") + "/no_such_image.tga";
    testing::internal::CaptureStderr();
    uint32_t name = load_texture(path.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(name, 0u);
    EXPECT_NE(err.find("No cargo la imagen tio"), std::string::npos) << err;

    // An image without pixels: a texture without pixels at most, and nothing read past the bitmap.
    std::string empty = make_temp_dir("texture") + "/empty.tga";
    write_tga(empty, 0, 0, 24, {});
    testing::internal::CaptureStderr();
    uint32_t empty_name = load_texture(empty.c_str());
    testing::internal::GetCapturedStderr();
    if (empty_name != 0) {
        int width = -1, height = -1;
        texture_level(0, &width, &height);
        EXPECT_EQ(width * height, 0);
    }

    // Not an image at all.
    std::string junk = make_temp_dir("texture") + "/junk.tga";
    write_file(junk, "not an image");
    testing::internal::CaptureStderr();
    EXPECT_EQ(load_texture(junk.c_str()), 0u);
    testing::internal::GetCapturedStderr();
}
