// The real viewer under Xvfb: its options, pacing, exit key, failures,
// cameras, lamps and report.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

static std::string viewer() { return binary_path("app/viewer"); }

struct ReportLine {
    long long polygons = -1;
    int frames = -1;
    double seconds = -1;
    double polygons_per_second = -1;
};

static bool parse_report(const std::string &out, ReportLine *report)
{
    static const std::regex line(
        R"(numero de poligonos: (-?\d+)\. frames: (\d+)\. segundos: (-?\d+\.\d{6}), poligonos/s (-?\d+\.\d{6})\n)");
    std::smatch match;
    if (!std::regex_search(out, match, line)) return false;
    report->polygons = std::stoll(match[1]);
    report->frames = std::stoi(match[2]);
    report->seconds = std::stod(match[3]);
    report->polygons_per_second = std::stod(match[4]);
    return true;
}

// One quad facing +z and a camera named "camara2" looking at it, over 3 frames.
static const char *small_scene = " 2\n 3\n Plano\n Mesh\n 4\n 1\n"
                                 "  -1 -1 0\n  0 0 1\n  1 -1 0\n  0 0 1\n  1 1 0\n  0 0 1\n  -1 1 0\n  0 0 1\n"
                                 "4\n  1 2 3 4\n  0 0 1 0 1 1 0 1\n"
                                 "  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0 0 1 1 1\n None\n"
                                 " camara2\n Camera\n"
                                 "  0 0 5 0 0 0 1 1 1\n  0 0 5 0 0 0 1 1 1\n  0 0 5 0 0 0 1 1 1\n None\n";

class Viewer : public testing::Test {
protected:
    void SetUp() override
    {
        dir = make_temp_dir("viewer");
        scene = dir + "/small.orj";
        write_file(scene, small_scene);
    }
    std::vector<std::string> small_run(std::vector<std::string> extra)
    {
        std::vector<std::string> argv = {viewer(), "--scene", scene, "--texture",
                                         source_path("data/texturarobot2.tga")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return argv;
    }
    std::string dir, scene;
};

TEST_F(Viewer, NoPassesNoScreenshot)
{
    std::string shot = dir + "/none.png";
    ProgramResult result = run_program(small_run({"--passes", "0", "--screenshot", shot}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report)) << result.out;
    EXPECT_EQ(report.frames, 0);
    EXPECT_EQ(report.polygons, 0);
    EXPECT_FALSE(file_exists_at(shot));
}

TEST_F(Viewer, PassesArePacedAtMostTwentyFiveASecond)
{
    ProgramResult result = run_program(small_run({"--passes", "30"}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report)) << result.out;
    EXPECT_EQ(report.frames, 30);
    // Waits end at least 4 ticks apart from the second pass on.
    EXPECT_GE(report.seconds, 1.15);
    EXPECT_LT(report.seconds, 10.0);
}

TEST_F(Viewer, SecondsLimitEndsTheRun)
{
    double start = now_seconds();
    ProgramResult result = run_program(small_run({"--seconds", "1"}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report)) << result.out;
    // Ends at the first pass that starts a second or more after the start.
    EXPECT_GE(report.seconds, 1.0);
    EXPECT_LT(report.seconds, 3.0);
    EXPECT_LE(report.frames, 26);
    EXPECT_GE(report.frames, 1);
    EXPECT_LT(now_seconds() - start, 30.0);
}

TEST_F(Viewer, HoldingAEndsItPromptly)
{
    ProgramRun run = start_program(small_run({"--seconds", "120", "--progress"}), dir);
    ASSERT_TRUE(wait_for_window(30));
    ASSERT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
    // Held until the viewer ends, as a person holding A would (a tap is
    // tested with the other ways to end, in ending_e2e_test).
    ASSERT_EQ(run_shell("xdotool keydown a"), 0);
    double pressed = now_seconds();
    int status = wait_program(run, 20);
    EXPECT_EQ(run_shell("xdotool keyup a"), 0);
    EXPECT_EQ(status, 0) << read_file(run.stderr_path);
    EXPECT_LT(now_seconds() - pressed, 5.0);
    ReportLine report;
    ASSERT_TRUE(parse_report(read_file(run.stdout_path), &report));
    EXPECT_GT(report.frames, 0);
    EXPECT_LT(report.seconds, 60.0);
}

TEST_F(Viewer, MalformedOptionsGiveUsageAndStatusTwo)
{
    for (std::vector<std::string> bad : {std::vector<std::string>{"--passes", "x"}, {"--camera", "9"}, {"--bogus"}}) {
        bad.insert(bad.begin(), viewer());
        ProgramResult result = run_program(bad, 30);
        EXPECT_EQ(result.status, 2) << bad[1];
        EXPECT_NE(result.err.find("usage: viewer"), std::string::npos) << result.err;
    }
    ProgramResult help = run_program({viewer(), "--help"}, 30);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--report-json"), std::string::npos);
}

TEST_F(Viewer, NoDisplayIsAnErrorNotACrash)
{
    ProgramSetting setting;
    setting.unset_env = {"DISPLAY"};
    ProgramResult result = run_program(small_run({"--passes", "1"}), 30, setting);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Error setting OpenGL graphics mode:\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Allegro GL error : "), std::string::npos) << result.err;
}

TEST_F(Viewer, MissingSceneEndsWithStatusOne)
{
    ProgramResult result = run_program({viewer(), "--scene", dir + "/absent.orj", "--passes", "1"}, 30);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "no se encontro el archivo");
}

TEST_F(Viewer, BrokenSceneEndsWithItsLineAndStatusOne)
{
    std::string broken = dir + "/broken.orj";
    write_file(broken, " 1\n 1\n Plano\n Mesh\n 4\n 1\n  0 0 0\n");
    ProgramResult result = run_program({viewer(), "--scene", broken, "--passes", "1"}, 30);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(broken + ":"), std::string::npos) << result.err;
}

TEST_F(Viewer, SceneWithoutFramesIsRefused)
{
    std::string empty = dir + "/noframes.orj";
    write_file(empty, " 1\n 0\n Lamp\n Lamp\n None\n");
    ProgramResult result = run_program({viewer(), "--scene", empty, "--passes", "1"}, 30);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("no frames"), std::string::npos) << result.err;
}

TEST_F(Viewer, MissingTextureIsReportedAndTheViewerGoesOn)
{
    ProgramResult result =
        run_program({viewer(), "--scene", scene, "--texture", dir + "/absent.tga", "--passes", "3"}, 30);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("No cargo la imagen tio"), std::string::npos) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report));
    EXPECT_EQ(report.frames, 3);

    // Hostile textures: a device that never ends, and a header claiming
    // 16384 x 16384 pixels that are not there. Refused, naming the file.
    std::string claim = dir + "/claim.tga";
    write_file(claim, std::string("\0\0\2\0\0\0\0\0\0\0\0\0\0\x40\0\x40\x18\0", 18));
    for (const std::string &texture : {std::string("/dev/zero"), claim}) {
        result = run_program({viewer(), "--scene", scene, "--texture", texture, "--passes", "1"}, 30);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.err.find("No cargo la imagen tio\n" + texture + ": "), std::string::npos) << result.err;
    }

    // Without --texture, the picture named like the scene beside it is the one loaded.
    write_file(dir + "/small.tga", read_file(claim));
    result = run_program({viewer(), "--scene", scene, "--passes", "1"}, 30);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("No cargo la imagen tio\n" + dir + "/small.tga: "), std::string::npos) << result.err;
}

TEST_F(Viewer, CameraDrawsOneCopyAndTheScreenshotShowsIt)
{
    std::string shot = dir + "/camera.png";
    std::string json = dir + "/report.json";
    ProgramResult result =
        run_program(small_run({"--camera", "2", "--passes", "5", "--screenshot", shot, "--report-json", json}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report));
    EXPECT_EQ(report.polygons, 2);  // one quad, one copy
    EXPECT_EQ(report.polygons_per_second, 50.0);

    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    EXPECT_EQ(figures["polygons"], 2);
    EXPECT_EQ(figures["frames"], 5);
    EXPECT_EQ(figures["copies"], 1);
    EXPECT_EQ(figures["polygon_count"], 2);
    EXPECT_TRUE(figures["seconds"].is_number());
    EXPECT_TRUE(figures["polygons_per_second"].is_number());
    EXPECT_GT(figures["measured_polygons_per_second"].get<double>(), 0.0);
    EXPECT_TRUE(figures["renderer"].is_string());
    EXPECT_FALSE(figures["settled"].get<bool>());  // a camera measures nothing
    EXPECT_TRUE(figures["settled_at_seconds"].is_null());

    // The quad spans x, y in [-1, 1] five units ahead: a square in the middle.
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(shot.c_str(), &width, &height, &rgb));
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    auto pixel = [&](int x, int y) { return rgb.data() + ((size_t)y * width + x) * 3; };
    const uint8_t *centre = pixel(320, 240);
    const uint8_t *corner = pixel(5, 5);
    // The clear colour 0.1, 0.1, 0.5.
    EXPECT_NEAR(corner[0], 26, 1);
    EXPECT_NEAR(corner[1], 26, 1);
    EXPECT_NEAR(corner[2], 128, 1);
    EXPECT_FALSE(centre[0] == corner[0] && centre[1] == corner[1] && centre[2] == corner[2])
        << "the quad should cover the middle";
}

// Every output is tried before the window opens: a run never ends in one it
// cannot write. On a full disk the old files stay.
TEST_F(Viewer, OutputsAreTriedBeforeTheRunAndNeverHalfWritten)
{
    ASSERT_EQ(run_shell("mkfifo '" + dir + "/fifo' && ln -s report.json '" + dir + "/link'"), 0);
    struct Case {
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {{"--trace", dir + "/no/such/dir/t.csv"},
         dir + "/no/such/dir/t.csv: cannot be written: No such file or directory"},
        {{"--record", dir + "/no/f%04d.png"}, dir + "/no/f0000.png: cannot be written: No such file or directory"},
        {{"--report-json", scene}, scene + ": the output is the input " + scene},
        {{"--screenshot", dir + "/o.png", "--trace", dir + "/./o.png"}, "the output is also the output"},
        {{"--screenshot", dir + "/fifo"}, dir + "/fifo: is a FIFO, not a regular file"},
        {{"--report-json", dir + "/link"}, dir + "/link: is a symbolic link, not a regular file"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--seconds", "8"});
        double start = now_seconds();
        ProgramResult result = run_program(small_run(options), 60);
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_LT(now_seconds() - start, 5.0) << c.message;
        EXPECT_EQ(result.err.rfind("viewer: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "") << "the run should not have started";
    }
    EXPECT_EQ(read_file(scene), small_scene);

    std::string reason, full = make_small_disk("viewer-full", &reason);
    if (full.empty()) GTEST_SKIP() << reason;
    write_file(full + "/shot.png", "old");
    fill_small_disk(full);
    ProgramResult result =
        run_program(small_run({"--camera", "2", "--passes", "2", "--screenshot", full + "/shot.png"}), 60);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find(full + "/shot.png: cannot be written: No space left on device"), std::string::npos)
        << result.err;
    EXPECT_EQ(read_file(full + "/shot.png"), "old");
}

// The first pass draws before any render state is set: the recording starts
// with the second pass's picture, numbered 0.
TEST_F(Viewer, RecordingStartsWithTheFirstPictureOfTheScene)
{
    ProgramResult result =
        run_program(small_run({"--camera", "2", "--passes", "3", "--record", dir + "/f%d.png", "--quiet"}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(file_exists_at(dir + "/f2.png"));
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb((dir + "/f0.png").c_str(), &width, &height, &rgb));
    const uint8_t *corner = rgb.data() + (5 * 640 + 5) * 3;
    EXPECT_NEAR(corner[2], 128, 1) << "picture 0 shows the clear colour, not the start-up state";
}

static int count_lines(const std::string &text, const std::string &start)
{
    int count = 0;
    for (size_t at = 0; (at = text.find(start, at)) != std::string::npos; at++)
        if (at == 0 || text[at - 1] == '\n') count++;
    return count;
}

TEST_F(Viewer, TenSecondsOfTwoPolygonsSettleFarAboveTheOneByOneRamp)
{
    std::string json = dir + "/report.json", trace = dir + "/trace.csv";
    ProgramResult result = run_program(
        small_run({"--camera", "4", "--seconds", "10", "--report-json", json, "--trace", trace, "--progress"}), 120);
    ASSERT_EQ(result.status, 0) << result.err;
    ReportLine report;
    ASSERT_TRUE(parse_report(result.out, &report)) << result.out;
    EXPECT_NE(result.out.find("\nsettled at "), std::string::npos) << result.out;

    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    EXPECT_TRUE(figures["settled"].get<bool>());
    EXPECT_LT(figures["settled_at_seconds"].get<double>(), 5.0);
    // One copy a pass at most 25 times a second could not pass 250 in 10 s.
    EXPECT_GE(figures["copies"].get<int>(), 1500);
    EXPECT_EQ(figures["polygons"].get<long long>(), 2 * figures["copies"].get<long long>());
    EXPECT_EQ(figures["polygons"].get<long long>(), report.polygons);
    EXPECT_GE(figures["windows"].get<int>(), 4);
    double median = figures["polygons_per_second_median"], low = figures["polygons_per_second_min"],
           high = figures["polygons_per_second_max"];
    EXPECT_GT(low, 0.0);
    EXPECT_LE(low, median);
    EXPECT_LE(median, high);
    EXPECT_EQ(figures["options"]["seconds"], 10.0);
    EXPECT_EQ(figures["options"]["ramp"], "geometric");
    EXPECT_FALSE(figures["gl_version"].get<std::string>().empty());
    EXPECT_FALSE(figures["engine_version"].get<std::string>().empty());
    EXPECT_EQ(figures["timestamp_utc"].get<std::string>().size(), 20u);

    // A row per pass, each with its copies' polygons.
    std::string rows = read_file(trace);
    EXPECT_EQ(rows.rfind("pass,seconds,tick,copies,polygons,pass_ms,fitted,settled,polygons_per_second\n", 0), 0u);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n') - 1, report.frames);
    std::regex row(R"((\d+),[\d.]+,\d+,(\d+),(\d+),[\d.]+,[01],[01],\d+)");
    std::smatch match;
    std::string last_row = rows.substr(rows.rfind('\n', rows.size() - 2) + 1);
    ASSERT_TRUE(std::regex_search(last_row, match, row)) << last_row;
    EXPECT_EQ(std::stoi(match[1]), report.frames - 1);
    EXPECT_EQ(std::stoll(match[3]), 2 * std::stoll(match[2]));

    // The renderer once at the start, then a line a second. A line says
    // "settling" while the count searches, which on a loaded machine it may
    // do again at any second after settling, so only the lines' form is fixed.
    EXPECT_EQ(result.err.rfind("viewer: renderer ", 0), 0u) << result.err;
    int progress = count_lines(result.err, "viewer: ") - 1;
    EXPECT_GE(progress, 8) << result.err;
    EXPECT_LE(progress, 11) << result.err;
    std::regex progress_lines(R"((viewer: \d+ s, copies \d+, \d+ polygons/s, (settled|settling)\n)*)");
    EXPECT_TRUE(std::regex_match(result.err.substr(result.err.find('\n') + 1), progress_lines)) << result.err;
}

TEST_F(Viewer, LinearRampClimbsOneCopyAPassAndIsQuietOffATerminal)
{
    std::string json = dir + "/report.json";
    ProgramResult result =
        run_program(small_run({"--camera", "4", "--passes", "100", "--ramp", "linear", "--report-json", json}), 60);
    ASSERT_EQ(result.status, 0) << result.err;
    // 1, then 0 after a slow start (2 after a quick one), then up by one a pass.
    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    EXPECT_GE(figures["copies"].get<int>(), 85);
    EXPECT_LE(figures["copies"].get<int>(), 101);
    EXPECT_EQ(figures["options"]["ramp"], "linear");
    EXPECT_EQ(figures["options"]["passes"], 100);
    EXPECT_EQ(count_lines(result.err, "viewer: "), 0) << result.err;
}

static int count_occurrences(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

TEST_F(Viewer, FixedCopiesDrawThatManyEveryPass)
{
    std::string json = dir + "/report.json", trace = dir + "/trace.csv";
    ProgramResult result = run_program(small_run({"--camera", "4", "--passes", "30", "--copies", "7", "--report-json",
                                                  json, "--trace", trace, "--progress"}),
                                       60);
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    EXPECT_EQ(figures["copies"], 7);
    EXPECT_EQ(figures["settled"], true);
    EXPECT_EQ(figures["options"]["copies"], 7);
    EXPECT_TRUE(figures["options"]["ramp"].is_null());
    std::string rows = read_file(trace);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 31);
    EXPECT_EQ(count_occurrences(rows, ",7,14,"), 30) << rows;  // 7 copies of 2 polygons in every pass
    // 30 passes last at least 1.2 s: a progress line, measured from the second pass.
    EXPECT_NE(result.err.find(" s, copies 7, "), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("settling"), std::string::npos) << result.err;
}

TEST_F(Viewer, UnpacedRunsReportFrameTimesAndGridRunsAreKeptInTheHistory)
{
    std::string json = dir + "/report.json", db = dir + "/results.sqlite";
    ProgramResult result = run_program(small_run({"--camera", "4", "--pace", "none", "--copies", "3", "--passes", "40",
                                                  "--report-json", json, "--results-db", db}),
                                       60);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(" frames/s, frame time median "), std::string::npos) << result.out;
    nlohmann::json figures = nlohmann::json::parse(read_file(json));
    EXPECT_EQ(figures["frames"], 40);
    EXPECT_EQ(figures["options"]["pace"], "none");
    EXPECT_EQ(figures["options"]["width"], 640);
    EXPECT_GT(figures["frames_per_second"].get<double>(), 0.0);
    EXPECT_LE(figures["frame_ms_median"].get<double>(), figures["frame_ms_p95"].get<double>());
    EXPECT_LE(figures["frame_ms_p95"].get<double>(), figures["frame_ms_p99"].get<double>());
    EXPECT_LE(figures["frame_ms_p99"].get<double>(), figures["frame_ms_max"].get<double>());
    EXPECT_EQ(figures["window_samples"].size(), figures["windows"].get<size_t>());
    // The run is in the history with its figures.
    std::string kept = dir + "/kept.txt";
    ASSERT_EQ(run_shell("sqlite3 '" + db +
                        "' 'SELECT count(*), CAST(round(polygons_per_second_median) AS INTEGER) FROM runs' >'" + kept +
                        "'"),
              0);
    char expected[64];
    snprintf(expected, sizeof expected, "1|%lld\n", std::llround(figures["polygons_per_second_median"].get<double>()));
    EXPECT_EQ(read_file(kept), expected);

    // Through a camera it is no benchmark: nothing kept, no file made.
    std::string camera_db = dir + "/camera.sqlite";
    result = run_program(small_run({"--camera", "2", "--passes", "3", "--results-db", camera_db}), 60);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(file_exists_at(camera_db));
    // A damaged history is reported; the figures still come, and the named history fails the run.
    write_file(camera_db, "not a database at all, but long enough to be read as one. ");
    result = run_program(small_run({"--camera", "4", "--passes", "3", "--results-db", camera_db}), 60);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("numero de poligonos: "), std::string::npos);
    EXPECT_NE(result.err.find("; the run is not kept in the history"), std::string::npos) << result.err;
}

TEST_F(Viewer, TheWindowTakesItsSizeAndTheDefaultHistoryFollowsXdgDataHome)
{
    std::string shot = dir + "/shot.png";
    // The default history is $XDG_DATA_HOME/orj/results.sqlite; the test
    // environment's own value comes back afterwards.
    std::string saved = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    ASSERT_FALSE(saved.empty()) << "the tests keep their history in the build tree";
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ProgramResult grid = run_program(small_run({"--camera", "4", "--passes", "3", "--no-save"}), 60);
    ProgramResult sized =
        run_program(small_run({"--camera", "4", "--passes", "5", "--size", "320x240", "--screenshot", shot}), 60);
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
    ASSERT_EQ(grid.status, 0) << grid.err;
    ASSERT_EQ(sized.status, 0) << sized.err;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(shot.c_str(), &width, &height, &rgb));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    std::string kept = dir + "/kept.txt";
    ASSERT_EQ(run_shell("sqlite3 '" + dir +
                        "/orj/results.sqlite' 'SELECT count(*), json_extract(options, "
                        "\"$.width\") FROM runs' >'" +
                        kept + "'"),
              0);
    EXPECT_EQ(read_file(kept), "1|320\n");  // the --no-save run is not there
    EXPECT_EQ(run_program({viewer(), "--size", "320"}, 10).status, 2);
    EXPECT_EQ(run_program({viewer(), "--no-save", "--results-db", shot}, 10).status, 2);
}
