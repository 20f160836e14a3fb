engine_bench(bench_render GL ${CMAKE_CURRENT_LIST_DIR}/render.cpp)
