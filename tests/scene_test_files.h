// Scene files shared by the scene tests.
#pragma once

#include <string>

// Two objects over two frames: a mesh "Plano" of one quad and one triangle,
// turning about z, and a camera whose parent it is.
inline std::string worked_example_text()
{
    return " 2\n"
           " 2\n"
           " Plano\n"
           " Mesh\n"
           " 4\n"
           " 2\n"
           "  0.0 0.0 0.0\n"
           "  0.0 0.0 1.0\n"
           "  1.0 0.0 0.0\n"
           "  0.0 0.0 1.0\n"
           "  1.0 1.0 0.0\n"
           "  0.0 0.0 1.0\n"
           "  0.0 1.0 0.0\n"
           "  0.0 0.0 1.0\n"
           "4\n"
           "  1 2 3 4\n"
           "3\n"
           "  1 3 4\n"
           "  0.0 0.0 1.0 0.0 1.0 1.0 0.0 1.0\n"
           "  0.0 0.0 1.0 1.0 0.0 1.0\n"
           "  0.0 0.0 0.0 0.0 0.0 0.0 1.0 1.0 1.0\n"
           "  0.0 0.0 0.5 0.0 0.0 1.5708 1.0 1.0 1.0\n"
           " None\n"
           " Camera\n"
           " Camera\n"
           "  0.0 -5.0 1.0 1.5708 0.0 0.0 1.0 1.0 1.0\n"
           "  0.0 -5.0 1.5 1.5708 0.0 0.0 1.0 1.0 1.0\n"
           " parent: 'Plano'.\n";
}
