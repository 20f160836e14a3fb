# The scene reader against tinyobjloader (a shared library in Debian), and the
# display-list compile.
find_package(tinyobjloader REQUIRED)
engine_bench(bench_scene_load GL ${CMAKE_CURRENT_LIST_DIR}/scene_load.cpp)
target_link_libraries(bench_scene_load PRIVATE tinyobjloader::tinyobjloader)

# The test environment of tests/ is not seen from here: give the short run the
# same one (messages to standard error, the sanitizers' suppressions).
set(bench_scene_load_env
  "ORJ_MESSAGES=stderr"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0")
if(ENGINE_SANITIZE)
  find_file(BENCH_SCENE_SWRAST_DRIVER swrast_dri.so
    PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib/dri /usr/lib64/dri NO_DEFAULT_PATH)
  if(BENCH_SCENE_SWRAST_DRIVER)
    list(APPEND bench_scene_load_env "LD_PRELOAD=${BENCH_SCENE_SWRAST_DRIVER}")
  endif()
endif()
set_tests_properties(bench_scene_load_short PROPERTIES ENVIRONMENT "${bench_scene_load_env}")
