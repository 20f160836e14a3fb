// load_scene on a scene file that cannot be opened, outside any window.
#include <gtest/gtest.h>

#include <string>

#include "orj/core/scene/scene.h"
#include "orj/gl/scene/scene_load.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

TEST(SceneLoad, FileThatCannotBeReadComesBackAsNullWithItsMessages)
{
    const char *paths[] = {"/nonexistent/fiche.orj", "/", "/dev/zero"};
    const char *reasons[] = {"No such file or directory", "is a directory", "not a regular file"};
    for (int i = 0; i < 3; i++) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Scene scene;
        EXPECT_EQ(load_scene(&scene, paths[i]), nullptr) << paths[i];
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "no se encontro el archivo") << paths[i];
        // Nor is a directory or a device read: the reason names the file.
        EXPECT_NE(err.find(std::string(paths[i]) + ": "), std::string::npos) << err;
        EXPECT_NE(err.find(reasons[i]), std::string::npos) << err;
        EXPECT_EQ(scene.objects, nullptr);
    }
}

}  // namespace
