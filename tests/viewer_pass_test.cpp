// The viewer's pass in a real OpenGL window: the grid drawn with one copy
// recorded and replayed must be pixel for pixel the grid drawn copy by copy.
#include <gtest/gtest.h>
// gtest first: the X11 headers under alleggl.h define None.
#include <allegro.h>
#include <alleggl.h>

#include <vector>

#include "orj/core/scene/scene.h"
#include "orj/gl/display/render_state.h"
#include "orj/gl/render/texture.h"
#include "orj/gl/viewer/viewer_pass.h"
#include "orj/gl/scene/scene_load.h"
#include "tests/support/test_support.h"

using namespace orj;

// The drawing state of the one window these run in.
static RenderState render;

static std::vector<uint8_t> draw_grid(ViewerPass *pass, const Scene *scene, uint32_t texture, bool replay, int frame,
                                      int copies)
{
    pass->replay_copies = replay;
    set_render_state(&render);
    // Close enough, past the fog, to see the first columns of the grid.
    glLoadIdentity();
    glTranslatef(12.0f, 12.0f, -30.0f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    PassResult result = draw_pass(pass, scene, texture, "no such camera", frame, copies, &render);
    EXPECT_EQ(result.copies, copies);
    EXPECT_EQ(result.found, 0);
    std::vector<uint8_t> pixels(640 * 480 * 4);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

TEST(ViewerPass, ReplayedCopiesArePixelIdentical)
{
    // The sample robot has two lamps: the first copies take the lights and
    // light the later ones, which are then replayed.
    Scene scene;
    ASSERT_NE(load_scene(&scene, source_path("data/fiche.orj").c_str()), nullptr);
    uint32_t texture = load_texture(source_path("data/texturarobot2.tga").c_str());
    ViewerPass pass;
    viewer_pass_create(&pass, &scene);
    ASSERT_TRUE(pass.has_lamps);
    for (int frame : {0, 37}) {
        // Lights keep their state from pass to pass: a first pass sets them as the others will.
        draw_grid(&pass, &scene, texture, false, frame, 70);
        std::vector<uint8_t> replayed = draw_grid(&pass, &scene, texture, true, frame, 70);
        std::vector<uint8_t> each = draw_grid(&pass, &scene, texture, false, frame, 70);
        ASSERT_EQ(each.size(), replayed.size());
        size_t differing = 0, lit = 0;
        for (size_t i = 0; i < each.size(); i += 4) {
            if (each[i] != replayed[i] || each[i + 1] != replayed[i + 1] || each[i + 2] != replayed[i + 2]) differing++;
            if (each[i] > 60) lit++;
        }
        EXPECT_EQ(differing, 0u) << "frame " << frame;
        EXPECT_GT(lit, 640u * 480u / 20u) << "the view should show the grid, frame " << frame;
    }
    viewer_pass_destroy(&pass);
    destroy_scene(&scene);
}
