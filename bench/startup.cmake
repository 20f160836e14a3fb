# Start-up of orj's scene subcommands and of the viewer on a large scene.
engine_bench(bench_startup GL ${CMAKE_CURRENT_LIST_DIR}/startup.cpp ${CMAKE_CURRENT_LIST_DIR}/bench_scenes.cpp)
target_compile_definitions(bench_startup PRIVATE BENCH_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(bench_startup orj viewer)
