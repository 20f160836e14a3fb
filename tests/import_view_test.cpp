// Imported models drawn in a real window through their own cameras, the way
// the viewer draws them: the model must fill a fair part of the picture.
#include <gtest/gtest.h>

#include <allegro.h>
#include <alleggl.h>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "orj/core/image/image_write.h"
#include "orj/gl/display/render_state.h"
#include "orj/gl/render/camera.h"
#include "orj/gl/render/draw.h"
#include "orj/gl/render/texture.h"
#include "orj/core/scene/scene.h"
#include "orj/core/scene/scene_writer.h"
#include "orj/gl/scene/scene_load.h"
#include "orj/gl/viewer/orbit_input.h"
#include "tests/support/test_support.h"
#include "importer/orj_import_atlas.h"
#include "importer/orj_import_convert.h"
#include "importer/orj_import_files.h"

using namespace orj;

// The drawing state of the one window these run in.
static RenderState render;

struct Picture {
    int covered = 0;  // pixels that are not the clear colour
    int warm = 0;     // pixels clearly more red than blue (the duck's yellow)
    int min_x = 640, max_x = -1, min_y = 480, max_y = -1;
    std::vector<int> brightness;    // of every covered pixel, red + green + blue
    int red = 0, green = 0;         // pixels clearly of the one colour
    double red_x = 0, green_x = 0;  // the middles of those pixels, across
};

// Converts the model, writes the scene and texture files, loads them as the
// viewer does and draws frame through the camera "camara4" into the back
// buffer, which is read before it is shown.
static Picture draw_imported(const std::string &model, ImportSettings settings, int frame, const std::string &png_name,
                             bool orbit = false)
{
    Picture picture;
    Assimp::Importer importer;
    ModelFolder folder;
    ModelReading reading;
    Error error;
    const aiScene *source = nullptr;
    EXPECT_EQ(open_model_folder(&folder, model.c_str(), false, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(read_model(&importer, &folder, &source, &reading, &error), ERROR_NONE) << error.message;
    if (!source) return picture;
    ImportedScene imported;
    EXPECT_EQ(convert_scene(source, settings, nullptr, &imported, &error), ERROR_NONE) << error.message;

    Atlas atlas;
    build_atlas(source, &folder, &imported.objects, &atlas);

    std::string dir = make_temp_dir("import_view");
    std::string scene_path = dir + "/model.orj", texture_path = dir + "/model.tga";
    Error scene_error;
    EXPECT_EQ(save_scene(&imported.scene, LOCATIONS_RELATIVE, scene_path.c_str(), &scene_error), ERROR_NONE)
        << scene_error.message;
    Error texture_error;
    EXPECT_EQ(write_tga_file(texture_path.c_str(), atlas.image, &texture_error), ERROR_NONE) << texture_error.message;

    Scene scene;
    if (!load_scene(&scene, scene_path.c_str())) {
        ADD_FAILURE() << "the scene does not load";
        return picture;
    }
    uint32_t texture = load_texture(texture_path.c_str());
    EXPECT_NE(texture, 0u);

    // Twice: a lamp takes its place when it is drawn, so the first pass puts
    // the lamps where the second one's meshes see them, as in the viewer.
    for (int pass = 0; pass < 2; pass++) {
        set_render_state(&render);
        OrbitCamera camera = orbit_frame_scene(&scene);
        if (orbit) apply_orbit_camera(&camera);
        else EXPECT_EQ(apply_camera(&scene, "camara4", frame), 1);
        draw_scene(&scene, texture, frame, &render);
    }
    glFinish();
    std::vector<uint8_t> rgb(640 * 480 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    destroy_scene(&scene);
    glDeleteTextures(1, &texture);

    std::vector<uint8_t> top_down(rgb.size());
    for (int y = 0; y < 480; y++) {
        std::copy(rgb.begin() + y * 640 * 3, rgb.begin() + (y + 1) * 640 * 3, top_down.begin() + (479 - y) * 640 * 3);
        for (int x = 0; x < 640; x++) {
            const uint8_t *p = &rgb[(y * 640 + x) * 3];
            bool background = std::abs(p[0] - 25) <= 3 && std::abs(p[1] - 25) <= 3 && std::abs(p[2] - 127) <= 3;
            if (background) continue;
            picture.covered++;
            picture.warm += p[0] > p[2] + 30;
            picture.brightness.push_back(p[0] + p[1] + p[2]);
            if (p[0] > p[1] + 60 && p[0] > p[2] + 60) picture.red++, picture.red_x += x;
            if (p[1] > p[0] + 60 && p[1] > p[2] + 60) picture.green++, picture.green_x += x;
            picture.min_x = std::min(picture.min_x, x);
            picture.max_x = std::max(picture.max_x, x);
            picture.min_y = std::min(picture.min_y, 479 - y);
            picture.max_y = std::max(picture.max_y, 479 - y);
        }
    }
    if (picture.red) picture.red_x /= picture.red;
    if (picture.green) picture.green_x /= picture.green;
    std::sort(picture.brightness.begin(), picture.brightness.end());
    std::string png = dir + "/" + png_name;
    Image shot = {640, 480, false, std::vector<uint8_t>(640 * 480 * 4, 255)};
    for (size_t i = 0; i < (size_t)640 * 480; i++) std::copy_n(&top_down[i * 3], 3, &shot.rgba[i * 4]);
    write_png_file(png.c_str(), shot, nullptr);
    printf("picture: %s (%d pixels drawn)\n", png.c_str(), picture.covered);
    return picture;
}

TEST(ImportView, DuckSeenThroughItsOwnCameraFillsThePicture)
{
    std::string model = "/usr/share/assimp/models/Collada/duck.dae";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture picture = draw_imported(model, {0, 25.0, 1.0, false}, 0, "duck.png");
    // The duck stands in the middle, framed as its camera frames it (about 3.5% of the window)...
    EXPECT_GT(picture.covered, 640 * 480 / 40);
    EXPECT_LT(picture.covered, 640 * 480 / 2);
    EXPECT_LT(picture.min_x, 320);
    EXPECT_GT(picture.max_x, 320);
    EXPECT_LT(picture.min_y, 240);
    EXPECT_GT(picture.max_y, 240);
    // ...textured with its yellow skin, not fogged into the clear colour.
    EXPECT_GT(picture.warm, picture.covered / 2);
}

TEST(ImportView, ScaledModelStaysTheSameInItsCamerasView)
{
    // Scaling the whole model scales its camera's place too: the picture is the same.
    std::string model = "/usr/share/assimp/models/Collada/duck.dae";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture normal = draw_imported(model, {0, 25.0, 1.0, false}, 0, "duck_1.png");
    Picture scaled = draw_imported(model, {0, 25.0, 3.0, false}, 0, "duck_3.png");
    EXPECT_NEAR(scaled.covered, normal.covered, normal.covered / 50 + 10);
    EXPECT_NEAR(scaled.min_x, normal.min_x, 3);
    EXPECT_NEAR(scaled.max_y, normal.max_y, 3);
}

TEST(ImportView, AddedCameraHoldsTheWholeModel)
{
    std::string model = "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture picture = draw_imported(model, {0, 25.0, 6.0, true}, 0, "box.png");
    EXPECT_GT(picture.covered, 640 * 480 / 10);
    // Inside the window, with a margin: the whole box is in view.
    EXPECT_GT(picture.min_x, 5);
    EXPECT_LT(picture.max_x, 634);
    EXPECT_GT(picture.min_y, 5);
    EXPECT_LT(picture.max_y, 474);
}

TEST(ImportView, AnimatedChainMovesBetweenFrames)
{
    std::string model = "/usr/share/assimp/models/Collada/anims_with_full_rotations_between_keys.DAE";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture start = draw_imported(model, {0, 25.0, 0.1, true}, 0, "chain_0.png");
    Picture later = draw_imported(model, {0, 25.0, 0.1, true}, 150, "chain_150.png");
    // A row of 64 small boxes that spreads out as it turns, always within the added camera's view.
    for (const Picture *picture : {&start, &later}) {
        EXPECT_GT(picture->covered, 50);
        EXPECT_GT(picture->min_x, 0);
        EXPECT_LT(picture->max_x, 639);
        EXPECT_GT(picture->min_y, 0);
        EXPECT_LT(picture->max_y, 479);
    }
    EXPECT_GT(std::abs(later.min_x - start.min_x) + std::abs(later.max_y - start.max_y), 10);
}

static ImportSettings framed_with_lamps()
{
    ImportSettings settings;
    settings.scale = 0.0;
    settings.add_camera = true;
    settings.lamps = true;
    return settings;
}

TEST(ImportView, LamplessModelIsLitFromTheViewersSide)
{
    // A rock of one plain grey: without lamps every face had the same value.
    std::string model = "/usr/share/assimp/models/3DS/fels.3ds";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture picture = draw_imported(model, framed_with_lamps(), 0, "rock.png");
    ASSERT_GT(picture.covered, 640 * 480 / 20);
    const std::vector<int> &b = picture.brightness;
    int darker = b[b.size() / 10], lighter = b[b.size() * 9 / 10];
    EXPECT_GT(lighter - darker, 3 * 30) << darker << " " << lighter;
}

TEST(ImportView, CubeShowsItsFacesInDistinctBrightnesses)
{
    // The file shrinks the box on a node by a unit conversion: unless normals
    // are brought back to unit length, the light saturates every face alike.
    std::string model = "/usr/share/assimp/models/FBX/box.fbx";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    for (bool orbit : {false, true}) {
        SCOPED_TRACE(orbit ? "orbit camera" : "added camera");
        Picture picture = draw_imported(model, framed_with_lamps(), 0, orbit ? "box_orbit.png" : "box.png", orbit);
        ASSERT_GT(picture.covered, 640 * 480 / 10);
        // Three faces in sight, three levels of brightness (red + green + blue).
        const std::vector<int> &b = picture.brightness;
        int darker = b[b.size() / 10], middle = b[b.size() / 2], lighter = b[b.size() * 9 / 10];
        EXPECT_GT(middle - darker, 40) << darker << " " << middle << " " << lighter;
        EXPECT_GT(lighter - middle, 40) << darker << " " << middle << " " << lighter;
    }
}

TEST(ImportView, HugeAndTinyModelsAreFramedWithoutAScale)
{
    struct Case {
        const char *model;  // 25,770 and 0.035 units across
        const char *png;
    } cases[] = {{"/usr/share/assimp/models/FBX/spider.fbx", "huge.png"},
                 {"/usr/share/assimp/models/Collada/sphere.dae", "tiny.png"}};
    for (const Case &c : cases) {
        if (!file_exists_at(c.model)) GTEST_SKIP() << "the asset importer's test models are missing";
        SCOPED_TRACE(c.model);
        Picture picture = draw_imported(c.model, framed_with_lamps(), 0, c.png);
        EXPECT_GT(picture.covered, 640 * 480 / 30);
        EXPECT_LT(picture.covered, 640 * 480 * 2 / 3);
        EXPECT_LT(picture.min_x, 320);
        EXPECT_GT(picture.max_x, 320);
    }
}

TEST(ImportView, EachMeshShowsItsOwnMaterial)
{
    // A red cube and a green one side by side: both colours, each in its own place.
    std::string model = "/usr/share/assimp/models/FBX/cubes_with_names.fbx";
    if (!file_exists_at(model)) GTEST_SKIP() << "the asset importer's test models are missing";
    Picture picture = draw_imported(model, framed_with_lamps(), 0, "cubes.png");
    EXPECT_GT(picture.red, picture.covered / 10);
    EXPECT_GT(picture.green, picture.covered / 10);
    EXPECT_GT(std::abs(picture.red_x - picture.green_x), 40.0);
}
