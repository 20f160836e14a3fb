// Every program's manners on the command line: -h, --help and --version print
// to standard output and end with status 0 without doing anything else, a bad
// option is named on standard error with the usage and ends with status 2;
// "-o -" writes the scene to standard output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orj/core/base/version.h"
#include "orj/core/scene/scene_reader.h"
#include "tests/support/test_support.h"

using namespace orj;

TEST(Programs, AnswerHelpAndVersionOnStandardOutput)
{
    const char *programs[] = {"app/viewer",
                              "app/sprite_demo",
                              "app/orj",
                              "app/orj-import",
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
