engine_bench(bench_render GL ${CMAKE_CURRENT_LIST_DIR}/render.cpp)
# Where data/ is when ENGINE_SOURCE_DIR is not set.
target_compile_definitions(bench_render PRIVATE ENGINE_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}")
