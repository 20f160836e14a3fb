// load_scene on a scene file that cannot be opened, outside any window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/scene/scene.h"
#include "tests/support/test_support.h"

namespace {

// Loads PATH in a death-test child whose standard output (where the message
// goes) is joined to standard error (where the reason goes), which the death
// test reads. A file would not do: where the death test re-runs the program
// instead of forking, as on Windows, the child would make its own temporary
// directory.
static void load_in_child(const char *path)
{
    fflush(stdout);
    if (dup2(fileno(stderr), fileno(stdout)) < 0) _exit(3);
    Scene scene;
    load_scene(&scene, path);
}

TEST(SceneLoad, FileThatCannotBeReadEndsTheProcessWithStatusOne)
{
    EXPECT_EXIT(load_in_child("/nonexistent/fiche.orj"), testing::ExitedWithCode(1), "no se encontro el archivo$");
    // Nor is a directory or a device read: the message says why.
    EXPECT_EXIT(load_in_child("/"), testing::ExitedWithCode(1), "is a directory");
    EXPECT_EXIT(load_in_child("/dev/zero"), testing::ExitedWithCode(1), "not a regular file");
}

}  // namespace
