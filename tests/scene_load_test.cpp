// load_scene on a scene file that cannot be opened, outside any window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/scene/scene.h"
#include "tests/support/test_support.h"

namespace {

TEST(SceneLoad, FileThatCannotBeReadEndsTheProcessWithStatusOne)
{
    std::string out_path = make_temp_dir("scene-load") + "/out.txt";
    EXPECT_EXIT(
        {
            if (!freopen(out_path.c_str(), "w", stdout)) _exit(3);
            Scene scene;
            load_scene(&scene, "/nonexistent/fiche.orj");
        },
        testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_file(out_path), "no se encontro el archivo");

    // Nor is a directory or a device read: the message says why.
    for (const char *path : {"/", "/dev/zero"}) {
        EXPECT_EXIT(
            {
                if (!freopen(out_path.c_str(), "w", stdout)) _exit(3);
                Scene scene;
                load_scene(&scene, path);
            },
            testing::ExitedWithCode(1), "(is a directory|not a regular file)");
        EXPECT_EQ(read_file(out_path), "no se encontro el archivo");
    }
}

}  // namespace
