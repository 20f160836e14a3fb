// Opens the engine's 640x480 OpenGL window once, then runs every test in it.
#include <gtest/gtest.h>
#include <allegro.h>

#include "orj/gl/display/display.h"

using namespace orj;

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!init_display(0, 640, 480)) return 1;
    int result = RUN_ALL_TESTS();
    allegro_exit();
    return result;
}
END_OF_MAIN()
