// Every program's manners on the command line: -h, --help and --version print
// to standard output and end with status 0 without doing anything else, a bad
// option is named on standard error with the usage and ends with status 2;
// "-o -" writes the scene to standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "orj/core/base/version.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "tests/support/test_support.h"

using namespace orj;

TEST(Programs, AnswerHelpAndVersionOnStandardOutput)
{
    const char *programs[] = {"app/viewer",
                              "app/sprite_demo",
                              "app/orj",
                              "app/orj-import",
                              "app/orj-bench",
                              "app/anim",
                              "samples/make_sample_scene",
                              "samples/make_sample_animation",
                              "bench/bench_render",
                              "bench/bench_scene_load",
                              "bench/bench_import_growth",
                              "bench/bench_startup"};
    for (const char *program : programs) {
        std::string path = binary_path(program), name = path.substr(path.rfind('/') + 1);
        if (!file_exists_at(path)) continue;  // built only with the asset importer
        ProgramResult version = run_program({path, "--version"}, 60);
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_EQ(version.out, name + " " + ORJ_VERSION + "\n") << program;
        for (const char *help : {"-h", "--help"}) {
            // No window is opened and nothing is written: an empty, unset display makes sure.
            ProgramResult usage = run_program({path, help}, 60, {"", {"DISPLAY"}});
            EXPECT_EQ(usage.status, 0) << program << " " << help;
            EXPECT_EQ(usage.out.rfind("usage: ", 0), 0u) << program << " " << help;
            EXPECT_EQ(usage.err, "") << program << " " << help;
        }
        // A bad option: what was wrong, named by the program, then the usage; status 2.
        ProgramResult bad = run_program({path, "--frobnicate"}, 60, {"", {"DISPLAY"}});
        EXPECT_EQ(bad.status, 2) << program;
        EXPECT_EQ(bad.err.rfind(name + ": unknown option: --frobnicate\nusage: ", 0), 0u) << program << bad.err;
        EXPECT_EQ(bad.out, "") << program;
    }
}

TEST(Programs, OrjImportWritesTheSceneToStandardOutput)
{
    const char *model = "/usr/share/assimp/models/OBJ/box.obj";
    if (!file_exists_at(binary_path("app/orj")) || !file_exists_at(model)) GTEST_SKIP() << "no importer or model";
    ProgramResult result = run_program({binary_path("app/orj"), "import", model, "-o", "-"}, 120);
    ASSERT_EQ(result.status, 0) << result.err;
    Scene scene;
    Error error;
    ASSERT_EQ(read_scene_text(&scene, result.out.data(), result.out.size(), "stdout", &error), ERROR_NONE)
        << error.message;
    EXPECT_GT(scene.polygon_count, 0);
    free_scene_records(&scene);
    EXPECT_NE(result.err.find("-> standard output"), std::string::npos) << result.err;
    EXPECT_FALSE(file_exists_at("-"));
    EXPECT_EQ(run_program({binary_path("app/orj"), "import", model, "-o", "x.orj", "--texture-out", "-"}, 60).status,
              2);
}

// Every tool's outputs on a full disk and on a FIFO: status 1 with the file
// and the system's reason, the old files as they were, no temporary file
// left, and no wait on the FIFO.
TEST(Programs, OutputsFailCleanlyOnAFullDiskAndNeverWaitOnAFifo)
{
    std::string dir = make_temp_dir("outputs");
    std::string model = dir + "/tri.obj", frame = dir + "/f0001.tga";
    write_file(model, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Image picture = {8, 8, false, std::vector<uint8_t>(8 * 8 * 4, 200)};
    ASSERT_EQ(write_tga_file(frame.c_str(), picture, nullptr), ERROR_NONE);
    std::string anim = binary_path("app/anim"), orj = binary_path("app/orj");
    std::string sprite = source_path("data/sample_sprite.anim"), strip = source_path("data/sample_sprite.jpg");
    // % stands for the folder; the first output is the one made a FIFO.
    struct Case {
        std::vector<std::string> argv, outputs;
    } cases[] = {
        {{anim, "build", frame, "%/a.anim", "%/a.jpg"}, {"a.jpg", "a.anim"}},
        {{anim, "preview", sprite, strip, "-o", "%/p.gif"}, {"p.gif"}},
        {{orj, "import", model, "-o", "%/s.orj", "--texture-out", "%/s.tga"}, {"s.orj", "s.tga"}},
        {{orj, "export", source_path("data/fiche.orj"), "-o", "%/m.obj"}, {"m.obj"}},
    };
    // An output that is the input under another name: refused, the input left whole.
    if (file_exists_at(binary_path("app/orj-import"))) {
        write_file(dir + "/s.gltf", read_file(source_path("data/fiche.orj")));
        ProgramResult result = run_program({orj, "export", dir + "/s.gltf", "-o", dir + "/./s.gltf"}, 60);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("the output is the input"), std::string::npos) << result.err;
        EXPECT_EQ(read_file(dir + "/s.gltf"), read_file(source_path("data/fiche.orj")));
    }
    std::string reason, full = make_small_disk("outputs-full", &reason);
    if (full.empty()) printf("%s\n", reason.c_str());
    for (const Case &c : cases) {
        if (c.argv[0] == orj && !file_exists_at(binary_path("app/orj-import"))) continue;
        for (const std::string &folder : {dir, full}) {
            if (folder.empty()) continue;
            SCOPED_TRACE(c.argv[1] + (folder == dir ? " to a FIFO" : " on a full disk"));
            std::vector<std::string> argv = c.argv;
            for (std::string &arg : argv)
                if (arg[0] == '%') arg = folder + arg.substr(1);
            std::string fifo = folder + "/" + c.outputs[0];
            if (folder == dir) {
                ASSERT_EQ(run_shell("mkfifo '" + fifo + "'"), 0);
            } else {
                run_shell("rm -f '" + folder + "'/*");
                for (const std::string &out : c.outputs) write_file(folder + "/" + out, "old " + out);
                fill_small_disk(folder);
            }
            double start = now_seconds();
            ProgramResult result = run_program(argv, 60);
            EXPECT_EQ(result.status, 1) << result.err;
            EXPECT_LT(now_seconds() - start, 30.0);
            std::string reason = folder == dir ? fifo + ": is a FIFO" : ": cannot be written: No space left on device";
            EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
            if (folder == dir) continue;
            auto listing = std::filesystem::directory_iterator(folder);
            int files = (int)std::distance(begin(listing), end(listing));
            EXPECT_EQ(files, (int)c.outputs.size() + 1) << "a temporary file was left";
            for (const std::string &out : c.outputs) EXPECT_EQ(read_file(folder + "/" + out), "old " + out);
        }
    }
}
