// How the programs end, under Xvfb: SIGINT and SIGTERM (report and outputs
// written, then the signal's status), Esc, a tap of A and the window's close
// button (status 0), and a tool's temporary files removed by a signal.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace {

// Waits for the program's own window (by its title: the program's name).
bool wait_for_window_named(const std::string &name)
{
    return run_shell("timeout 60 xdotool search --sync --onlyvisible --name '^" + name + "$' >/dev/null 2>&1") == 0;
}

// What a window manager sends when its close button is pressed.
int send_close_request(const std::string &name)
{
    static const char *script =
        "import sys\n"
        "from Xlib import X, display, protocol\n"
        "d = display.Display()\n"
        "w = d.create_resource_object('window', int(sys.argv[1]))\n"
        "kind, delete = d.intern_atom('WM_PROTOCOLS'), d.intern_atom('WM_DELETE_WINDOW')\n"
        "w.send_event(protocol.event.ClientMessage(window=w, client_type=kind,\n"
        "                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])), event_mask=0)\n"
        "d.sync()\n";
    return run_shell("w=$(xdotool search --onlyvisible --name '^" + name + "$' | head -n 1) && /usr/bin/python3 -c \"" +
                     script + "\" \"$w\"");
}

std::vector<std::string> viewer_args(const std::string &dir)
{
    std::vector<std::string> argv = {binary_path("app/viewer"), "--scene", source_path("data/fiche.orj")};
    argv.insert(argv.end(), {"--texture", source_path("data/texturarobot2.tga"), "--seconds", "120"});
    argv.insert(argv.end(), {"--progress", "--report-json", dir + "/r.json"});
    return argv;
}

// The names in dir, each after a space, sorted; the test's own run files left out.
std::string names_in(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("run", 0) != 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string &name : names) all += " " + name;
    return all;
}

bool has_report_line(const std::string &out)
{
    static const std::regex line(
        R"(numero de poligonos: \d+\. frames: \d+\. segundos: \d+\.\d{6}, poligonos/s \d+\.\d{6}\n)");
    return std::regex_search(out, line);
}

}  // namespace

TEST(Ending, SignalsEndTheViewerWithItsReportAndTheSignalsStatus)
{
    for (int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        std::string dir = make_temp_dir("ending-signal");
        ProgramRun run = start_program(viewer_args(dir), dir);
        ASSERT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
        ASSERT_EQ(kill(run.pid, signal_number), 0);
        double sent = now_seconds();
        EXPECT_EQ(wait_program(run, 30), 128 + signal_number) << read_file(run.stderr_path);
        EXPECT_LT(now_seconds() - sent, 10.0);
        EXPECT_TRUE(has_report_line(read_file(run.stdout_path))) << read_file(run.stdout_path);
        EXPECT_NE(read_file(dir + "/r.json").find("\"polygons_per_second\""), std::string::npos);
    }
}

TEST(Ending, EscATapAndTheCloseButtonEndTheViewer)
{
    // xdotool key presses and releases at once: far shorter than a 40 ms pass.
    const std::vector<std::pair<std::string, std::string>> ways = {
        {"Esc", "xdotool key --delay 0 Escape"}, {"tap of A", "xdotool key --delay 0 a"}, {"close button", ""}};
    for (const auto &way : ways) {
        SCOPED_TRACE(way.first);
        std::string dir = make_temp_dir("ending-viewer");
        ProgramRun run = start_program(viewer_args(dir), dir);
        ASSERT_TRUE(wait_until_playing(run, 60)) << read_file(run.stderr_path);
        ASSERT_TRUE(wait_for_window_named("viewer"));
        ASSERT_EQ(way.second.empty() ? send_close_request("viewer") : run_shell(way.second), 0);
        double sent = now_seconds();
        EXPECT_EQ(wait_program(run, 30), 0) << read_file(run.stderr_path);
        EXPECT_LT(now_seconds() - sent, 10.0);
        EXPECT_TRUE(has_report_line(read_file(run.stdout_path))) << read_file(run.stdout_path);
    }
}

TEST(Ending, TheSpriteDemoEndsOnATapTheCloseButtonAndASignal)
{
    const std::vector<std::string> ways = {"tap of A", "close button", "SIGTERM"};
    for (const std::string &way : ways) {
        SCOPED_TRACE(way);
        std::string dir = make_temp_dir("ending-demo");
        std::string shot = dir + "/last.png";
        ProgramRun run =
            start_program({binary_path("app/sprite_demo"), "--animation", source_path("data/sample_sprite.anim"),
                           "--strip", source_path("data/sample_sprite.jpg"), "--seconds", "120", "--screenshot", shot},
                          dir);
        // The demo follows keys and close requests from before its window opens.
        ASSERT_TRUE(wait_for_window_named("sprite_demo"));
        ASSERT_EQ(way == "tap of A"       ? run_shell("xdotool key --delay 0 a")
                  : way == "close button" ? send_close_request("sprite_demo")
                                          : kill(run.pid, SIGTERM),
                  0);
        EXPECT_EQ(wait_program(run, 30), way == "SIGTERM" ? 128 + SIGTERM : 0) << read_file(run.stderr_path);
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(read_png_rgb(shot.c_str(), &width, &height, &rgb));
    }
}

TEST(Ending, ASignalRemovesTheBuildersTemporaryFiles)
{
    // A 2048 x 16384 sheet, run-length coded in one colour: small on disk,
    // long enough to build that the signal comes while the outputs are
    // temporary files.
    std::string dir = make_temp_dir("ending-anim");
    const int width = 2048, height = 16384;
    std::string sheet = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int v : {width, height}) sheet += {(char)(v & 0xFF), (char)(v >> 8)};
    sheet += {32, 0x28};
    const std::string packet = {(char)(0x80 | 127), 0x20, (char)0x80, (char)0xC0, (char)0xFF};
    for (int i = 0; i < width * height / 128; i++) sheet += packet;
    write_file(dir + "/sheet.tga", sheet);

    ProgramRun run = start_program({binary_path("app/anim"), "build", "--sheet", dir + "/sheet.tga", "--frame-size",
                                    "2048x1024", "--strip-tga", dir + "/out.anim", dir + "/out.jpg"},
                                   dir);
    // The strip's temporary files are made once the sheet is open.
    double deadline = now_seconds() + 60;
    while (names_in(dir).find(" out.jpg.") == std::string::npos && now_seconds() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_NE(names_in(dir).find(" out.jpg."), std::string::npos) << read_file(run.stderr_path);
    ASSERT_EQ(kill(run.pid, SIGINT), 0);
    EXPECT_EQ(wait_program(run, 60), 128 + SIGINT) << read_file(run.stderr_path);
    EXPECT_EQ(names_in(dir), " sheet.tga");
}
