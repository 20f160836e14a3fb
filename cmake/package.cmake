# A Debian package of everything installed (cpack in the build folder):
# programs, sample data, documents, libraries, headers, the CMake package and
# the pkg-config files. Build it from a tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr, so that the paths fit Debian's.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orj)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "orj engine developers <orj@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small real-time 3D engine on Allegro 4 and OpenGL, with its viewer and tools")
set(CPACK_PACKAGE_DESCRIPTION "The orj engine: a scene viewer that doubles as a polygon-throughput benchmark,
a sprite demo, the scene tool orj (check, info, dump, import, export) and the
sprite animation tool anim, with their sample data; and the engine's static
libraries, headers, CMake package (find_package(orj)) and pkg-config files
(orj, orj-import) for programs built on it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian strips its packages' programs (the symbols belong in a -dbgsym package).
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The programs' shared libraries come from dpkg-shlibdeps; the static
# libraries, headers and package files need what a program built on them
# links and looks up (pkg-config modules, OpenGL's headers).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(ORJ_DEB_DEPENDS
  liballegro4-dev liballeggl4-dev libjpgalleg4-dev libpng-dev libjpeg-dev libgl-dev libglu1-mesa-dev
  "pkg-config | pkgconf")
if(TARGET orj_import)
  list(APPEND ORJ_DEB_DEPENDS libassimp-dev libexpat1-dev)
endif()
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${ORJ_DEB_DEPENDS}")
include(CPack)
