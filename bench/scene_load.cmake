# The scene reader against tinyobjloader (a shared library in Debian), and the
# display-list compile.
find_package(tinyobjloader REQUIRED)
engine_bench(bench_scene_load GL ${CMAKE_CURRENT_LIST_DIR}/scene_load.cpp ${CMAKE_CURRENT_LIST_DIR}/bench_scenes.cpp)
target_link_libraries(bench_scene_load PRIVATE tinyobjloader::tinyobjloader)
