// The arithmetic of model import on its own: matrices into the engine's
// placement chain, camera views, frame sampling, names and TGA bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "importer/orj_import_math.h"
#include "importer/orj_import_names.h"
#include "importer/orj_import_texture.h"

using namespace orj;

static double largest_difference(const Matrix4 &a, const Matrix4 &b)
{
    double worst = 0.0;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) worst = std::max(worst, std::fabs(a.m[i][j] - b.m[i][j]));
    return worst;
}

static Matrix4 apply_to(const Matrix4 &m, double x, double y, double z)
{
    Matrix4 point = {};
    point.m[0][0] = x;
    point.m[1][0] = y;
    point.m[2][0] = z;
    point.m[3][0] = 1.0;
    return matrix_multiply(m, point);
}

TEST(ImportTransform, ComposedChainComesBackFromItsMatrix)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> angle(-179.0f, 179.0f), size(0.2f, 3.0f), place(-50.0f, 50.0f);
    for (int trial = 0; trial < 500; trial++) {
        ObjectTransform t = {{place(random), place(random), place(random)},
                             {angle(random), angle(random) / 2.0f, angle(random)},
                             {size(random), size(random), size(random)}};
        if (trial % 5 == 0) t.scale.y = -t.scale.y;  // mirrored
        Matrix4 m = compose_transform(t);
        double fit = 1.0;
        ObjectTransform back = decompose_transform(m, &fit);
        EXPECT_LT(fit, 1e-6);
        EXPECT_LT(largest_difference(compose_transform(back), m), 1e-4) << "trial " << trial;
        EXPECT_FLOAT_EQ(back.location.x, t.location.x);
        EXPECT_FLOAT_EQ(back.location.z, t.location.z);
    }
}

TEST(ImportTransform, ChainOrderIsTranslateThenXThenYThenZThenScale)
{
    // A point on x, scaled by 2, turned 90 degrees about z, then 90 about x, moved by (10, 0, 0).
    ObjectTransform t = {{10, 0, 0}, {90, 0, 90}, {2, 1, 1}};
    Matrix4 p = apply_to(compose_transform(t), 1, 0, 0);
    EXPECT_NEAR(p.m[0][0], 10.0, 1e-9);
    EXPECT_NEAR(p.m[1][0], 0.0, 1e-9);
    EXPECT_NEAR(p.m[2][0], 2.0, 1e-9);

    double fit = 1.0;
    ObjectTransform back = decompose_transform(compose_transform(t), &fit);
    EXPECT_NEAR(back.rotation.x, 90.0f, 1e-4);
    EXPECT_NEAR(back.rotation.y, 0.0f, 1e-4);
    EXPECT_NEAR(back.rotation.z, 90.0f, 1e-4);
    EXPECT_NEAR(back.scale.x, 2.0f, 1e-6);
}

TEST(ImportTransform, GimbalLockStillReproducesTheMatrix)
{
    for (float y : {90.0f, -90.0f}) {
        ObjectTransform t = {{1, 2, 3}, {30, y, 40}, {1, 2, 3}};
        Matrix4 m = compose_transform(t);
        double fit = 1.0;
        ObjectTransform back = decompose_transform(m, &fit);
        EXPECT_LT(largest_difference(compose_transform(back), m), 1e-5);
    }
}

TEST(ImportTransform, ShearIsFittedAndReported)
{
    Matrix4 m = matrix_identity();
    m.m[0][1] = 0.5;  // x grows with y: a shear
    double fit = 0.0;
    ObjectTransform back = decompose_transform(m, &fit);
    EXPECT_GT(fit, 0.05);
    EXPECT_LT(fit, 0.5);
    EXPECT_TRUE(std::isfinite(back.rotation.x) && std::isfinite(back.rotation.y) && std::isfinite(back.rotation.z));
}

TEST(ImportTransform, CollapsedAxesGiveZeroScalesThatHide)
{
    ObjectTransform t = {{4, 5, 6}, {10, 20, 30}, {1, 0, 2}};
    double fit = 1.0;
    ObjectTransform back = decompose_transform(compose_transform(t), &fit);
    EXPECT_EQ(back.scale.y, 0.0f);
    EXPECT_LT(fit, 1e-6);
    EXPECT_LT(largest_difference(compose_transform(back), compose_transform(t)), 1e-5);

    Matrix4 zero = {};
    zero.m[3][3] = 1.0;
    back = decompose_transform(zero, &fit);
    EXPECT_EQ(back.scale.x, 0.0f);
    EXPECT_EQ(back.scale.y, 0.0f);
    EXPECT_EQ(back.scale.z, 0.0f);
    EXPECT_EQ(fit, 0.0);
}

TEST(ImportTransform, AffineInverseUndoesTheMatrix)
{
    Matrix4 m = compose_transform({{3, -2, 7}, {25, -40, 75}, {2, 0.5f, -1.5f}});
    Matrix4 inverse;
    ASSERT_TRUE(matrix_invert_affine(m, &inverse));
    EXPECT_LT(largest_difference(matrix_multiply(m, inverse), matrix_identity()), 1e-9);
    Matrix4 flat = compose_transform({{0, 0, 0}, {0, 0, 0}, {1, 0, 1}});
    EXPECT_FALSE(matrix_invert_affine(flat, &inverse));
}

// The camera's view must take the eye to the origin, the view direction to
// -z and the up direction to +y.
static void expect_view(const Vector3 &eye, const Vector3 &forward, const Vector3 &up)
{
    Vector3 location, rotation;
    solve_camera(eye, forward, up, &location, &rotation);
    Matrix4 view = camera_view_matrix(location, rotation);
    Matrix4 at_eye = apply_to(view, eye.x, eye.y, eye.z);
    EXPECT_NEAR(at_eye.m[0][0], 0.0, 1e-4);
    EXPECT_NEAR(at_eye.m[1][0], 0.0, 1e-4);
    EXPECT_NEAR(at_eye.m[2][0], 0.0, 1e-4);
    double length = std::sqrt(forward.x * forward.x + forward.y * forward.y + forward.z * forward.z);
    Matrix4 ahead = apply_to(view, eye.x + forward.x / length, eye.y + forward.y / length, eye.z + forward.z / length);
    EXPECT_NEAR(ahead.m[0][0], 0.0, 1e-5);
    EXPECT_NEAR(ahead.m[1][0], 0.0, 1e-5);
    EXPECT_NEAR(ahead.m[2][0], -1.0, 1e-5);
    Matrix4 above = apply_to(view, eye.x + up.x, eye.y + up.y, eye.z + up.z);
    EXPECT_NEAR(above.m[0][0], 0.0, 1e-4);
    EXPECT_GT(above.m[1][0] - at_eye.m[1][0], 0.0);
}

TEST(ImportCamera, SolvedViewLooksAlongTheCamerasDirection)
{
    expect_view({0, 0, 5}, {0, 0, -1}, {0, 1, 0});
    expect_view({3, -4, 2}, {1, 2, -0.5f}, {0, 0, 1});
    expect_view({-10, 7, 1}, {0, -1, 0}, {0, 0, -1});  // looking straight down
    expect_view({1, 1, 1}, {-1, -1, -1}, {0, 1, 0});
    std::mt19937 random(3);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int trial = 0; trial < 200; trial++) {
        Vector3 forward = {d(random), d(random), d(random)};
        Vector3 side = {d(random), d(random), d(random)};
        Vector3 up = {forward.y * side.z - forward.z * side.y, forward.z * side.x - forward.x * side.z,
                      forward.x * side.y - forward.y * side.x};
        expect_view({d(random) * 20, d(random) * 20, d(random) * 20}, forward, up);
    }
}

TEST(ImportCamera, PlainCameraIsATranslation)
{
    Vector3 location, rotation;
    solve_camera({0, 0, 5}, {0, 0, -1}, {0, 1, 0}, &location, &rotation);
    EXPECT_FLOAT_EQ(location.z, 5.0f);
    EXPECT_NEAR(rotation.x, 0.0f, 1e-5);
    EXPECT_NEAR(rotation.y, 0.0f, 1e-5);
    EXPECT_NEAR(rotation.z, 0.0f, 1e-5);
}

TEST(ImportCamera, UpAlongTheViewIsReplaced)
{
    Vector3 location, rotation;
    solve_camera({0, 0, 0}, {0, 0, -1}, {0, 0, 1}, &location, &rotation);
    EXPECT_TRUE(std::isfinite(rotation.x) && std::isfinite(rotation.y) && std::isfinite(rotation.z));
    Matrix4 ahead = apply_to(camera_view_matrix(location, rotation), 0, 0, -1);
    EXPECT_NEAR(ahead.m[2][0], -1.0, 1e-5);
}

TEST(ImportFrames, CountFollowsTheClipOrTheRequest)
{
    EXPECT_EQ(import_frame_count(0, false, 3.0, 25.0), 1);
    EXPECT_EQ(import_frame_count(7, false, 3.0, 25.0), 7);
    EXPECT_EQ(import_frame_count(0, true, 2.0, 25.0), 51);
    EXPECT_EQ(import_frame_count(0, true, 2.0, 10.0), 21);
    EXPECT_EQ(import_frame_count(0, true, 0.1 * 3, 10.0), 4);  // 0.30000000000000004 s: not a sliver more
    EXPECT_EQ(import_frame_count(0, true, 1.03, 25.0), 26);
    EXPECT_EQ(import_frame_count(0, true, 0.0, 25.0), 1);
    EXPECT_EQ(import_frame_count(4, true, 2.0, 25.0), 4);
    EXPECT_EQ(import_frame_count(0, true, 1e9, 25.0), MAX_IMPORT_FRAMES);
}

TEST(ImportFrames, TimesStepAtTheRateAndHoldAtTheEnd)
{
    EXPECT_DOUBLE_EQ(frame_time_ticks(0, 25.0, 4800.0, 9600.0), 0.0);
    EXPECT_DOUBLE_EQ(frame_time_ticks(5, 25.0, 4800.0, 9600.0), 960.0);
    EXPECT_DOUBLE_EQ(frame_time_ticks(50, 25.0, 4800.0, 9600.0), 9600.0);
    EXPECT_DOUBLE_EQ(frame_time_ticks(80, 25.0, 4800.0, 9600.0), 9600.0);
}

TEST(ImportFrames, AnglesUnwrapToTheNearestTurn)
{
    EXPECT_FLOAT_EQ(unwrap_degrees(179.0f, -179.0f), 181.0f);
    EXPECT_FLOAT_EQ(unwrap_degrees(-170.0f, 175.0f), -185.0f);
    EXPECT_FLOAT_EQ(unwrap_degrees(540.0f, 10.0f), 370.0f);
    EXPECT_FLOAT_EQ(unwrap_degrees(0.0f, 45.0f), 45.0f);
}

TEST(ImportNames, NamesFitTheNameLine)
{
    EXPECT_EQ(clean_object_name("Arm\nLeft\r", "node"), "Arm_Left_");
    EXPECT_EQ(clean_object_name("", "node"), "node");
    EXPECT_EQ(clean_object_name(nullptr, "mesh"), "mesh");
    EXPECT_EQ(clean_object_name("ends with space ", "x"), "ends with space ");
    EXPECT_EQ(clean_object_name(std::string(150, 'a').c_str(), "x").size(), 98u);
    // 97 ASCII letters then a two-byte letter: cut before the letter, not inside it.
    std::string accented = std::string(97, 'a') + "\xc3\xa9" + "b";
    EXPECT_EQ(clean_object_name(accented.c_str(), "x"), std::string(97, 'a'));
}

TEST(ImportNames, DuplicatesAndNoneAreRenamedCamerasFirst)
{
    std::vector<std::string> names =
        make_unique_names({"Box", "Box", "none", "camara4", "Box.2", "camara4"}, {1, 1, 1, 1, 1, 0});
    EXPECT_EQ(names[0], "Box");
    EXPECT_EQ(names[1], "Box.2");
    EXPECT_EQ(names[2], "none.2");
    EXPECT_EQ(names[3], "camara4.2");  // the camera claimed the name first
    EXPECT_EQ(names[4], "Box.2.2");
    EXPECT_EQ(names[5], "camara4");
    names = make_unique_names({"Arm", "Arm", "Arm"}, {2, 1, 2});
    EXPECT_EQ(names[1], "Arm");
    EXPECT_EQ(names[0], "Arm.2");
    EXPECT_EQ(names[2], "Arm.3");
    // A suffix some other object holds already is passed over, whatever the order.
    names = make_unique_names({"A", "A.3", "A", "A", "A"}, {});
    EXPECT_EQ(names, std::vector<std::string>({"A", "A.3", "A.2", "A.4", "A.5"}));
    std::string long_name(98, 'n');
    names = make_unique_names({long_name, long_name}, {});
    EXPECT_EQ(names[0], long_name);
    EXPECT_EQ(names[1], std::string(96, 'n') + ".2");
}

TEST(ImportNames, CameraSlotsFollowTheViewersKeys)
{
    EXPECT_STREQ(camera_slot_name(0), "camara4");
    EXPECT_STREQ(camera_slot_name(1), "camara");
    EXPECT_STREQ(camera_slot_name(2), "Camera");
    EXPECT_STREQ(camera_slot_name(5), "camara5");
    EXPECT_EQ(camera_slot_name(6), nullptr);
}
