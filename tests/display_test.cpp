// OpenGL state left by the display start-up, the frame start and the render
// state, read back with glGet in a real window.
#include <gtest/gtest.h>
// gtest first: the X11 headers under alleggl.h define None.
#include <allegro.h>
#include <alleggl.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <thread>
#include <vector>

#include "orj/gl/viewer/ticks.h"
#include "orj/gl/display/frame.h"
#include "orj/gl/display/render_state.h"

using namespace orj;

// The drawing state of the one window these run in.
static RenderState render;

static void expect_matrix(GLenum which, const float expected[16], const char *what)
{
    float m[16];
    glGetFloatv(which, m);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(m[i], expected[i], 1e-4f) << what << " entry " << i;
}

static void expect_vector(const float *got, const float *expected, int n, const char *what)
{
    for (int i = 0; i < n; i++) EXPECT_FLOAT_EQ(got[i], expected[i]) << what << " component " << i;
}

static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Allegro's own handlers would run its shut-down inside a crash or a request
// to end, where it can deadlock: after start-up these signals still have the
// action they had before (here, the default).
TEST(Display, FatalSignalsAndRequestsToEndKeepTheirAction)
{
#ifdef __SANITIZE_ADDRESS__
    std::vector<int> checked = {SIGABRT, SIGILL};  // the sanitizer reports the others itself
#else
    std::vector<int> checked = {SIGSEGV, SIGABRT, SIGFPE, SIGILL};  // the ones every system has
#endif
    checked.insert(checked.end(), {SIGINT, SIGTERM});
#ifdef SIGQUIT
    checked.push_back(SIGQUIT);
#endif
    for (int signal_number : checked) {
        // The standard library reads a handler only by setting one: put it back.
        void (*action)(int) = std::signal(signal_number, SIG_DFL);
        std::signal(signal_number, action);
        EXPECT_EQ(action, SIG_DFL) << "signal " << signal_number;
    }
}

// Runs first: nothing else has touched the state yet.
TEST(Display, StartUpDefaults)
{
    EXPECT_EQ(SCREEN_W, 640);
    EXPECT_EQ(SCREEN_H, 480);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_DITHER));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    GLint value[2] = {};
    glGetIntegerv(GL_SHADE_MODEL, value);
    EXPECT_EQ(value[0], GL_FLAT);
    glGetIntegerv(GL_CULL_FACE_MODE, value);
    EXPECT_EQ(value[0], GL_BACK);
    glGetIntegerv(GL_FRONT_FACE, value);
    EXPECT_EQ(value[0], GL_CCW);
    glGetIntegerv(GL_POLYGON_MODE, value);
    EXPECT_EQ(value[0], GL_FILL);
    EXPECT_EQ(value[1], GL_FILL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, value);
    EXPECT_EQ(value[0], GL_FASTEST);
    glGetIntegerv(GL_POLYGON_SMOOTH_HINT, value);
    EXPECT_EQ(value[0], GL_FASTEST);
    glGetIntegerv(GL_DEPTH_BITS, value);
    EXPECT_GE(value[0], 16);
    GLboolean double_buffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &double_buffered);
    EXPECT_TRUE(double_buffered);

    expect_matrix(GL_PROJECTION_MATRIX, identity, "projection");
    expect_matrix(GL_MODELVIEW_MATRIX, identity, "modelview");

    EXPECT_EQ(render.spin_angle, 0.0f);
    EXPECT_EQ(render.lights_on, 1);
    EXPECT_EQ(render.next_light, 0);
}

static void expect_plain_frame_state()
{
    const float frustum[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1001.0f / 999.0f, -1, 0, 0, -2000.0f / 999.0f, 0};
    expect_matrix(GL_PROJECTION_MATRIX, frustum, "projection");
    expect_matrix(GL_MODELVIEW_MATRIX, identity, "modelview");
    GLint value[4] = {};
    glGetIntegerv(GL_MATRIX_MODE, value);
    EXPECT_EQ(value[0], GL_MODELVIEW);
    glGetIntegerv(GL_VIEWPORT, value);
    EXPECT_EQ(value[2], 640);
    EXPECT_EQ(value[3], 480);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_SRC, value);
    EXPECT_EQ(value[0], GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, value);
    EXPECT_EQ(value[0], GL_ONE_MINUS_SRC_ALPHA);
}

// The X keyboard driver takes the whole locale from the environment: numbers
// must still be written and read with a point (traces are comma-separated).
TEST(Display, NumbersKeepTheCLocale)
{
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_STREQ(localeconv()->decimal_point, ".");
}

TEST(FrameStart, BothEntryPointsLeaveThePlainPerspective)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(3, 4, 5);
    glMatrixMode(GL_TEXTURE);
    begin_frame(1.0f);
    expect_plain_frame_state();

    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    begin_frame_plain();
    expect_plain_frame_state();

    begin_frame(100.0f);
    expect_plain_frame_state();
}

TEST(FrameStart, ClearsAfterTheFlip)
{
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    begin_frame_plain();
    unsigned char pixel[4] = {};
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
}

TEST(RenderState, EveryFixedValue)
{
    render.next_light = 7;
    float spin_before = render.spin_angle;
    set_render_state(&render);

    EXPECT_EQ(render.next_light, 1);
    EXPECT_EQ(render.spin_angle, spin_before + 1.0f);

    float v[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, v);
    const float blue[4] = {0.1f, 0.1f, 0.5f, 1.0f};
    expect_vector(v, blue, 4, "clear colour");

    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_EXP2);
    glGetFloatv(GL_FOG_DENSITY, v);
    EXPECT_FLOAT_EQ(v[0], 0.025f);
    glGetFloatv(GL_FOG_START, v);
    EXPECT_FLOAT_EQ(v[0], 1.0f);
    glGetFloatv(GL_FOG_END, v);
    EXPECT_FLOAT_EQ(v[0], 5000.0f);
    glGetFloatv(GL_FOG_COLOR, v);
    expect_vector(v, blue, 4, "fog colour");

    const float frustum[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, -10001.0f / 9999.0f, -1, 0, 0, -20000.0f / 9999.0f, 0};
    expect_matrix(GL_PROJECTION_MATRIX, frustum, "projection");
    const float default_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 300, -1000, 1};
    expect_matrix(GL_MODELVIEW_MATRIX, default_view, "default view");
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    glGetMaterialfv(GL_FRONT, GL_SPECULAR, v);
    const float white[4] = {1, 1, 1, 1};
    expect_vector(v, white, 4, "material specular");
    glGetMaterialfv(GL_FRONT, GL_SHININESS, v);
    EXPECT_FLOAT_EQ(v[0], 90.0f);
    glGetMaterialfv(GL_FRONT, GL_EMISSION, v);
    const float half_grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    expect_vector(v, half_grey, 4, "material emission");
    glGetMaterialfv(GL_FRONT, GL_AMBIENT, v);
    const float black[4] = {0, 0, 0, 1};
    expect_vector(v, black, 4, "material ambient");

    // Stored in eye space: a direction, so the default view's translation leaves it.
    glGetLightfv(GL_LIGHT0, GL_POSITION, v);
    const float toward_viewer[4] = {0, 0, 1000, 0};
    expect_vector(v, toward_viewer, 4, "light 0 position");
    glGetLightfv(GL_LIGHT0, GL_CONSTANT_ATTENUATION, v);
    EXPECT_FLOAT_EQ(v[0], 100.0f);
    glGetLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, v);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, v);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, v);
    const float dim[4] = {0.2f, 0.2f, 0.2f, 0.3f};
    expect_vector(v, dim, 4, "light 0 diffuse");
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v);
    expect_vector(v, black, 4, "light 0 ambient");
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));  // lamps decide that

    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_BLEND_SRC, &func);
    EXPECT_EQ(func, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &func);
    EXPECT_EQ(func, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_SHADE_MODEL, &func);
    EXPECT_EQ(func, GL_SMOOTH);
}

TEST(RenderState, SpinAngleCountsCalls)
{
    float before = render.spin_angle;
    for (int i = 0; i < 10; i++) set_render_state(&render);
    EXPECT_EQ(render.spin_angle, before + 10.0f);
}

TEST(RenderState, LampSwitchKeysPWinsOverL)
{
    key[KEY_L] = 0;
    key[KEY_P] = 1;
    set_render_state(&render);
    EXPECT_EQ(render.lights_on, 0);
    key[KEY_P] = 0;
    set_render_state(&render);
    EXPECT_EQ(render.lights_on, 0);  // persists until a key is held again
    key[KEY_L] = 1;
    set_render_state(&render);
    EXPECT_EQ(render.lights_on, 1);
    key[KEY_P] = 1;
    set_render_state(&render);
    EXPECT_EQ(render.lights_on, 0);
    key[KEY_L] = 0;
    key[KEY_P] = 0;
    set_render_state(&render);
    EXPECT_EQ(render.lights_on, 0);
}

TEST(Ticks, AboutAHundredASecond)
{
    install_ticks();
    int32_t start = get_ticks();
    EXPECT_LE(start, 2);
    auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // A busy machine may run the timer's thread late; it then catches up on
    // the ticks it owes, so wait (up to 3 s) for the count to come in before
    // judging the rate over the whole time.
    auto seconds_since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    while (get_ticks() - start < 85.0 * seconds_since() && seconds_since() < 4.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int32_t counted = get_ticks() - start;
    double elapsed = seconds_since();
    EXPECT_NEAR(counted / elapsed, 100.0, 15.0) << counted << " ticks in " << elapsed << " s";
}
