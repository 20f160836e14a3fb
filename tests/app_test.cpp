// The viewer's options and playback arithmetic, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/viewer/options.h"
#include "orj/core/viewer/orbit.h"
#include "orj/core/viewer/record_name.h"
#include "orj/core/viewer/playback.h"

using namespace orj;

static OptionsResult parse(std::vector<std::string> args, ViewerOptions *options, std::string *error)
{
    // Paths in options point into the arguments: keep them alive between calls.
    static std::vector<std::string> kept;
    kept = std::move(args);
    kept.insert(kept.begin(), "viewer");
    std::vector<char *> argv;
    for (std::string &arg : kept) argv.push_back(&arg[0]);
    return parse_viewer_options((int)argv.size(), argv.data(), options, error);
}

TEST(ViewerOptions, DefaultsAreTheViewersOwn)
{
    ViewerOptions options;
    std::string error;
    ASSERT_EQ(parse({}, &options, &error), OPTIONS_RUN);
    EXPECT_EQ(options.limits.passes, -1);
    EXPECT_LT(options.limits.seconds, 0.0);
    EXPECT_STREQ(options.scene_path, "data/fiche.orj");
    EXPECT_STREQ(options.texture_path, "data/texturarobot2.tga");
    EXPECT_EQ(options.camera, 4);
    EXPECT_EQ(options.screenshot_path, nullptr);
    EXPECT_EQ(options.report_json_path, nullptr);
    EXPECT_EQ(options.trace_path, nullptr);
    EXPECT_EQ(options.ramp, RAMP_GEOMETRIC);
    EXPECT_EQ(options.progress, -1);
}

TEST(ViewerOptions, ReadsEveryOptionInBothSpellings)
{
    ViewerOptions options;
    std::string error;
    ASSERT_EQ(parse({"--passes", "12", "--seconds=2.5", "--scene", "a.orj", "--texture=b.tga", "--camera", "0",
                     "--screenshot", "s.png", "--report-json=r.json", "--trace", "t.csv", "--ramp=linear", "--quiet"},
                    &options, &error),
              OPTIONS_RUN)
        << error;
    EXPECT_EQ(options.limits.passes, 12);
    EXPECT_DOUBLE_EQ(options.limits.seconds, 2.5);
    EXPECT_STREQ(options.scene_path, "a.orj");
    EXPECT_STREQ(options.texture_path, "b.tga");
    EXPECT_EQ(options.camera, 0);
    EXPECT_STREQ(options.screenshot_path, "s.png");
    EXPECT_STREQ(options.report_json_path, "r.json");
    EXPECT_STREQ(options.trace_path, "t.csv");
    EXPECT_EQ(options.ramp, RAMP_LINEAR);
    EXPECT_EQ(options.progress, 0);
    ASSERT_EQ(parse({"--quiet", "--progress", "--ramp", "geometric"}, &options, &error), OPTIONS_RUN);
    EXPECT_EQ(options.progress, 1);  // the last one wins
    EXPECT_EQ(options.ramp, RAMP_GEOMETRIC);
    EXPECT_EQ(options.fixed_copies, 0);
    ASSERT_EQ(parse({"--copies", "250"}, &options, &error), OPTIONS_RUN);
    EXPECT_EQ(options.fixed_copies, 250);
    EXPECT_EQ(options.pace, PACE_SLOT);
    EXPECT_EQ(options.width * 1000 + options.height, 640480);
    EXPECT_TRUE(options.save_run);

    ASSERT_EQ(parse({"--pace", "none", "--size=1280x720", "--no-save", "--extra-pass-ms", "2.5"}, &options, &error),
              OPTIONS_RUN)
        << error;
    EXPECT_EQ(options.pace, PACE_NONE);
    EXPECT_EQ(options.width, 1280);
    EXPECT_EQ(options.height, 720);
    EXPECT_FALSE(options.fullscreen);
    EXPECT_FALSE(options.save_run);
    EXPECT_DOUBLE_EQ(options.extra_pass_ms, 2.5);
    // Full screen takes the desktop's size unless a size is given.
    ASSERT_EQ(parse({"--fullscreen", "--results-db", "h.sqlite"}, &options, &error), OPTIONS_RUN);
    EXPECT_TRUE(options.fullscreen);
    EXPECT_EQ(options.width, 0);
    EXPECT_STREQ(options.results_path, "h.sqlite");
    ASSERT_EQ(parse({"--size", "800x600", "--fullscreen"}, &options, &error), OPTIONS_RUN);
    EXPECT_EQ(options.width, 800);
}

TEST(ViewerOptions, RejectsMalformedValues)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--passes"},
        {"--passes", "-1"},
        {"--passes", "3x"},
        {"--passes", "+3"},
        {"--passes", "99999999999"},
        {"--seconds", "-2"},
        {"--seconds", "nan"},
        {"--seconds", "inf"},
        {"--seconds", ""},
        {"--camera", "7"},
        {"--camera", "-1"},
        {"--record", "f.png"},
        {"--record", "%s%d.png"},
        {"--record", "%d%d"},
        {"--record", "%099d"},
        {"--camera"},
        {"--scene"},
        {"--texture="},
        {"--frobnicate"},
        {"--ramp", "fast"},
        {"--ramp"},
        {"--trace"},
        {"extra"},
        {"--passesx", "1"},
        {"--copies", "0"},
        {"--copies", "16777217"},
        {"--copies=5", "--ramp", "linear"},
        {"--pace", "fast"},
        {"--size", "640"},
        {"--size", "640x"},
        {"--size", "15x480"},
        {"--size", "640x16385"},
        {"--size", "-640x480"},
        {"--extra-pass-ms", "1001"},
        {"--no-save", "--results-db", "h.sqlite"},
    };
    for (const std::vector<std::string> &args : bad) {
        ViewerOptions options;
        std::string error;
        EXPECT_EQ(parse(args, &options, &error), OPTIONS_BAD) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    ViewerOptions options;
    std::string error;
    EXPECT_EQ(parse({"--passes", "1", "--help"}, &options, &error), OPTIONS_HELP);
    EXPECT_NE(strstr(viewer_usage(), "--screenshot"), nullptr);

    // The orbit camera, and a recording whose one number field is filled in.
    ASSERT_EQ(parse({"--camera", "6", "--record", "shots/100%%_%04d.png"}, &options, &error), OPTIONS_RUN) << error;
    EXPECT_EQ(options.camera, 6);
    char name[32];
    ASSERT_TRUE(record_file_name(options.record_pattern, 42, name, sizeof name));
    EXPECT_STREQ(name, "shots/100%_0042.png");
    EXPECT_FALSE(record_file_name(options.record_pattern, 42, name, 8));
}

// One still object of the scene below: its corners, location and scale.
struct StillObject {
    ObjectKind kind;
    std::vector<Vector3> corners;
    Vector3 location, scale;
};

TEST(Orbit, FirstPictureCentresWhatIsDrawn)
{
    // A wide floor with a tall pole on it, as the sample scene stands; a lamp
    // and an object of scale 0 far to one side are no part of the picture.
    std::vector<Vector3> floor = {{-4, 0, -4}, {4, 0, -4}, {4, 0, 4}, {-4, 0, 4}};
    std::vector<Vector3> pole = {{-0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 9, 0}, {-0.5f, 9, 0}};
    std::vector<StillObject> still = {{Mesh, floor, {0, 0, 0}, {1, 1, 1}},
                                      {Mesh, pole, {0, 0, 0}, {1, 1, 1}},
                                      {Lamp, {}, {60, 0, 0}, {1, 1, 1}},
                                      {Mesh, floor, {-60, 30, 0}, {0, 0, 0}}};
    std::vector<SceneObject> objects(still.size());
    Vector3 turned = {0, 0, 0};
    for (size_t i = 0; i < still.size(); i++) {
        SceneObject &object = objects[i];
        memset(&object, 0, sizeof object);
        object.kind = still[i].kind;
        object.vertices = still[i].corners.data();
        object.vertex_count = (int32_t)still[i].corners.size();
        object.locations = &still[i].location;
        object.rotations = &turned;
        object.scales = &still[i].scale;
        object.is_root = 1;
        object.parent = -1;
    }
    Scene scene = {objects.data(), (int32_t)objects.size(), 1, 2};
    OrbitCamera camera = orbit_frame_scene(&scene);
    float view[16];
    orbit_view_matrix(&camera, view);
    // Where the drawn corners land across and up the picture, -0.5 to 0.5.
    double low[2] = {1, 1}, high[2] = {-1, -1};
    for (int i = 0; i < 2; i++)
        for (const Vector3 &p : still[i].corners) {
            double eye[3];
            for (int r = 0; r < 3; r++) eye[r] = view[r] * p.x + view[4 + r] * p.y + view[8 + r] * p.z + view[12 + r];
            ASSERT_LT(eye[2], -1.0);  // ahead, beyond the near plane
            for (int k = 0; k < 2; k++) {
                low[k] = std::min(low[k], eye[k] / -eye[2]);
                high[k] = std::max(high[k], eye[k] / -eye[2]);
            }
        }
    double reach = 0.5 * ORBIT_FILL;
    for (int k = 0; k < 2; k++) {
        EXPECT_GE(low[k], -reach - 1e-4);
        EXPECT_LE(high[k], reach + 1e-4);
    }
    // Centred along the tighter direction: its two edges touch the margin.
    int tight = high[0] - low[0] > high[1] - low[1] ? 0 : 1;
    EXPECT_NEAR(high[tight], reach, 1e-3);
    EXPECT_NEAR(low[tight], -reach, 1e-3);
}

// The reader every program shares: both spellings, the last of a repeated
// option, values that stay in argv, and what it refuses.
TEST(CommandLine, ReadsBothSpellingsAndRefusesWhatItDoesNotKnow)
{
    auto parse_with = [](std::vector<std::string> args, const char **text, int32_t *count, int *flag,
                         std::vector<const char *> *arguments, std::string *error) {
        static std::vector<std::string> kept;
        kept = std::move(args);
        kept.insert(kept.begin(), "program");
        std::vector<char *> argv;
        for (std::string &arg : kept) argv.push_back(&arg[0]);
        CommandLine *line = command_line_create();
        command_line_text(line, "-o,--output", text, "-o needs a path");
        command_line_count(line, "--count", count, 1, 9, "--count needs 1 to 9");
        command_line_flag(line, "--on", flag, 1);
        command_line_flag(line, "--off", flag, 0);
        if (arguments) command_line_arguments(line, arguments);
        OptionsResult result = command_line_parse(line, (int)argv.size(), argv.data(), error);
        command_line_destroy(line);
        return result;
    };
    const char *text = nullptr;
    int32_t count = 0;
    int flag = -1;
    std::vector<const char *> arguments;
    std::string error;
    ASSERT_EQ(parse_with({"--output=a", "--count", "3", "x", "--on", "--off", "--count=4", "-", "-o", "b"}, &text,
                         &count, &flag, &arguments, &error),
              OPTIONS_RUN)
        << error;
    EXPECT_STREQ(text, "b");
    EXPECT_EQ(count, 4);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_STREQ(arguments[0], "x");
    EXPECT_STREQ(arguments[1], "-");

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--count", "0"}, "--count needs 1 to 9"},
        {{"--count"}, "--count needs 1 to 9"},
        {{"--count", "--on"}, "--count needs 1 to 9"},
        {{"-o"}, "-o needs a path"},
        {{"--output="}, "-o needs a path"},
        {{"--on=1"}, "--on takes no value"},
        {{"--of"}, "unknown option: --of"},
        {{"x"}, "unexpected argument: x"},
    };
    for (const auto &[args, message] : bad) {
        EXPECT_EQ(parse_with(args, &text, &count, &flag, nullptr, &error), OPTIONS_BAD) << args[0];
        EXPECT_EQ(error, message) << args[0];
    }
    EXPECT_EQ(parse_with({"--of", "--help"}, &text, &count, &flag, nullptr, &error), OPTIONS_HELP);
    EXPECT_EQ(parse_with({"-h", "--version"}, &text, &count, &flag, nullptr, &error), OPTIONS_VERSION);
}

TEST(RunLimits, WhicheverComesFirst)
{
    RunLimits none = {-1, -1.0};
    EXPECT_FALSE(run_limit_reached(&none, 1000000, 1000000));

    RunLimits passes = {3, -1.0};
    EXPECT_FALSE(run_limit_reached(&passes, 2, 999999));
    EXPECT_TRUE(run_limit_reached(&passes, 3, 0));

    RunLimits zero = {0, -1.0};
    EXPECT_TRUE(run_limit_reached(&zero, 0, 0));

    RunLimits seconds = {-1, 1.5};
    EXPECT_FALSE(run_limit_reached(&seconds, 0, 149));
    EXPECT_TRUE(run_limit_reached(&seconds, 0, 150));

    RunLimits both = {100, 0.5};
    EXPECT_TRUE(run_limit_reached(&both, 10, 50));
    EXPECT_TRUE(run_limit_reached(&both, 100, 10));
}

TEST(Playback, CameraKeysLastInOrderWins)
{
    bool held[CAMERA_SLOTS] = {};
    EXPECT_EQ(choose_camera(4, held), 4);  // the choice persists
    held[1] = true;
    EXPECT_EQ(choose_camera(4, held), 1);
    held[0] = true;
    EXPECT_EQ(choose_camera(4, held), 0);  // KEY_0 overrides KEY_1
    held[5] = true;
    held[2] = true;
    EXPECT_EQ(choose_camera(4, held), 5);  // KEY_5 overrides all
    EXPECT_STREQ(camera_names[0], "camara");
    EXPECT_STREQ(camera_names[1], "Camera");
    EXPECT_STREQ(camera_names[4], "camara4");
}

TEST(Playback, FrameZeroPlaysOnceThenTheRestCycles)
{
    std::vector<int> frames;
    int frame = 0;
    for (int i = 0; i < 8; i++) {
        frames.push_back(frame);
        frame = advance_frame(frame, 4);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 1, 2, 3, 1}));
    // Fewer than two frames: stay on frame 0 instead of leaving the arrays.
    EXPECT_EQ(advance_frame(0, 1), 0);
    EXPECT_EQ(advance_frame(0, 0), 0);
    EXPECT_EQ(advance_frame(1, 2), 1);
}

TEST(Playback, APassFitsItsSlotOfFourTicks)
{
    EXPECT_TRUE(pass_fitted(104, 100));                      // fitted exactly
    EXPECT_FALSE(pass_fitted(105, 100));                     // late
    EXPECT_FALSE(pass_fitted(50, 0));                        // the first pass after a slow load
    EXPECT_TRUE(pass_fitted(INT32_MIN + 1, INT32_MAX - 1));  // across the wrap
}

TEST(Playback, GridColumnsOfThirty)
{
    float x, y;
    grid_offset(0, &x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    grid_offset(29, &x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, -290.0f);
    grid_offset(30, &x, &y);
    EXPECT_EQ(x, -10.0f);
    EXPECT_EQ(y, 0.0f);
    grid_offset(65, &x, &y);
    EXPECT_EQ(x, -20.0f);
    EXPECT_EQ(y, -50.0f);
}

TEST(Report, ReadsAsTheViewerPrintsIt)
{
    char text[REPORT_SIZE];
    Report report = make_report(2000, 5, 1000, 123, 4123);
    format_report(text, sizeof text, &report);
    EXPECT_STREQ(text, "numero de poligonos: 10000. frames: 1000. segundos: 40.000000, poligonos/s 250000.000000");
}

TEST(Report, NeverZeroOrNegativeForADrawnScene)
{
    // A grid that fell to 0 or below still drew copy 0.
    EXPECT_EQ(make_report(2000, 0, 10, 0, 40).polygons, 2000);
    EXPECT_EQ(make_report(2000, -7, 10, 0, 40).polygons, 2000);
    // No pass ran: nothing was drawn.
    Report none = make_report(2000, 1, 0, 0, 0);
    EXPECT_EQ(none.polygons, 0);
    EXPECT_EQ(none.polygons_per_second, 0.0f);
    // Products in 64 bits: no wrap-around.
    Report big = make_report(2000000000, 3, 1, 0, 4);
    EXPECT_EQ(big.polygons, 6000000000LL);
    EXPECT_FLOAT_EQ(big.polygons_per_second, 150000000000.0f);
    char text[REPORT_SIZE];
    format_report(text, sizeof text, &big);
    EXPECT_NE(strstr(text, "numero de poligonos: 6000000000."), nullptr) << text;
}

TEST(Report, MatrixDumpFormat)
{
    const float m[16] = {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, -200, 20, 2000, 1};
    char text[REPORT_SIZE];
    format_matrix_dump(text, sizeof text, m);
    EXPECT_STREQ(text, "0.000000,2.000000,0.000000,0.000000,\n-2.000000,0.000000,0.000000,0.000000,\n"
                       "0.000000,0.000000,2.000000,0.000000,\n-200.000000,20.000000,2000.000000,1.000000");
}
