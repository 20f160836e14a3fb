# "orj import": models from the common interchange formats to scene files,
# through the asset importer library.
pkg_check_modules(ASSIMP IMPORTED_TARGET assimp)
if(ASSIMP_FOUND)
  add_library(orj_import_core STATIC
    ${CMAKE_CURRENT_LIST_DIR}/orj_import.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_animation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_math.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_mesh.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orj_import_texture.cpp)
  target_compile_options(orj_import_core PRIVATE ${ENGINE_WARNINGS})
  target_link_libraries(orj_import_core PUBLIC engine_pure PkgConfig::ASSIMP PkgConfig::ALLEGRO PkgConfig::PNG)
  if(TARGET orj)
    target_link_libraries(orj PRIVATE orj_import_core)
    target_compile_definitions(orj PRIVATE ORJ_IMPORT)
  endif()
else()
  message(STATUS "assimp not found: orj import is left out")
endif()
