# The tool that makes the viewer's sample scene and texture in data/:
#   build/tools/make_sample_scene data
add_executable(make_sample_scene
  ${CMAKE_CURRENT_LIST_DIR}/make_sample_scene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sample_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sample_texture.cpp)
target_compile_options(make_sample_scene PRIVATE ${ENGINE_WARNINGS})
target_link_libraries(make_sample_scene PRIVATE engine_pure)
