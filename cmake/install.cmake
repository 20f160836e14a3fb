# Installing the engine for other programs: the libraries as orj::core,
# orj::gl and orj::import (when built) in a CMake package, orj.pc for
# pkg-config, and the public headers under include/orj/.
include(CMakePackageConfigHelpers)

set(ORJ_INSTALLED_LIBRARIES orj_core orj_gl)
if(TARGET orj_import)
  list(APPEND ORJ_INSTALLED_LIBRARIES orj_import)
endif()
install(TARGETS ${ORJ_INSTALLED_LIBRARIES} EXPORT orjTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/orj DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_BINARY_DIR}/include/orj DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(ORJ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orj)
install(EXPORT orjTargets NAMESPACE orj:: DESTINATION ${ORJ_CMAKE_DIR})
if(TARGET orj_import)
  set(ORJ_WITH_IMPORT 1)
else()
  set(ORJ_WITH_IMPORT 0)
endif()
configure_package_config_file(cmake/orjConfig.cmake.in ${PROJECT_BINARY_DIR}/orjConfig.cmake
  INSTALL_DESTINATION ${ORJ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/orjConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/orjConfig.cmake ${PROJECT_BINARY_DIR}/orjConfigVersion.cmake
  DESTINATION ${ORJ_CMAKE_DIR})

# pkg-config: orj (core and gl) and orj-import. The libraries are static, so
# what they are built on is in Requires and Libs, not only in the private fields.
configure_file(cmake/orj.pc.in ${PROJECT_BINARY_DIR}/orj.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orj.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET orj_import)
  configure_file(cmake/orj-import.pc.in ${PROJECT_BINARY_DIR}/orj-import.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/orj-import.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
