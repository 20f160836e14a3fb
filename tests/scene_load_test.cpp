// load_scene on a scene file that cannot be opened, outside any window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/scene/scene.h"
#include "tests/support/test_support.h"

namespace {

TEST(SceneLoad, MissingFileEndsTheProcessWithStatusOne)
{
    // The message goes to standard output; the child sends that to standard
    // error, which the death test reads. (A file path would not do: where the
    // death test re-runs the program instead of forking, as on Windows, the
    // child would make a temporary directory of its own.)
    EXPECT_EXIT(
        {
            fflush(stdout);
            if (dup2(fileno(stderr), fileno(stdout)) < 0) _exit(3);
            Scene scene;
            load_scene(&scene, "/nonexistent/fiche.orj");
        },
        testing::ExitedWithCode(1), "^no se encontro el archivo$");
}

}  // namespace
