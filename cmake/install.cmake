# Installing the engine for other programs: the libraries as orj::core,
# orj::gl and orj::import (when built) in a CMake package, orj.pc and
# orj-import.pc for pkg-config, the public headers under include/orj/; the
# programs (when built), the sample data they fall back on outside the source
# tree (find_data_file) and the documents.
include(CMakePackageConfigHelpers)

set(ORJ_INSTALLED_LIBRARIES orj_core orj_gl)
if(TARGET orj_import)
  list(APPEND ORJ_INSTALLED_LIBRARIES orj_import)
endif()
install(TARGETS ${ORJ_INSTALLED_LIBRARIES} EXPORT orjTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/orj ${PROJECT_BINARY_DIR}/include/orj
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The sample data: programs in PREFIX/bin find it in PREFIX/share/orj/data.
set(ORJ_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/orj/data)
install(FILES
  ${PROJECT_SOURCE_DIR}/data/fiche.orj ${PROJECT_SOURCE_DIR}/data/texturarobot2.tga
  ${PROJECT_SOURCE_DIR}/data/sample_sprite.anim ${PROJECT_SOURCE_DIR}/data/sample_sprite.jpg
  DESTINATION ${ORJ_DATA_INSTALL_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/ARCHITECTURE.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(ORJ_BUILD_PROGRAMS)
  set(ORJ_INSTALLED_PROGRAMS viewer sprite_demo orj anim)
  if(TARGET orj-import)
    list(APPEND ORJ_INSTALLED_PROGRAMS orj-import)  # beside orj, which runs it
  endif()
  if(TARGET orj-bench)
    list(APPEND ORJ_INSTALLED_PROGRAMS orj-bench)  # beside orj, which runs it
  endif()
  install(TARGETS ${ORJ_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(ORJ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orj)
install(EXPORT orjTargets NAMESPACE orj:: DESTINATION ${ORJ_CMAKE_DIR})
if(TARGET orj_import)
  set(ORJ_WITH_IMPORT 1)
else()
  set(ORJ_WITH_IMPORT 0)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/orjConfig.cmake.in ${PROJECT_BINARY_DIR}/orjConfig.cmake
  INSTALL_DESTINATION ${ORJ_CMAKE_DIR} PATH_VARS ORJ_DATA_INSTALL_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/orjConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/orjConfig.cmake ${PROJECT_BINARY_DIR}/orjConfigVersion.cmake
  DESTINATION ${ORJ_CMAKE_DIR})

# pkg-config: orj (core and gl) and orj-import. The libraries are static, so
# what they are built on is in Requires and Libs, not only in the private
# fields. The prefix is found from the file's own place, so that an install
# into another prefix (cmake --install --prefix, a package) holds together.
set(ORJ_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ORJ_PKGCONFIG_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${ORJ_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ORJ_PKGCONFIG_TO_PREFIX "${ORJ_PKGCONFIG_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/orj.pc.in ${PROJECT_BINARY_DIR}/orj.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orj.pc DESTINATION ${ORJ_PKGCONFIG_DIR})
if(TARGET orj_import)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/orj-import.pc.in ${PROJECT_BINARY_DIR}/orj-import.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/orj-import.pc DESTINATION ${ORJ_PKGCONFIG_DIR})
endif()
