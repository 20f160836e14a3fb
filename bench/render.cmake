engine_bench(bench_render GL ${CMAKE_CURRENT_LIST_DIR}/render.cpp)
# Where data/ is when ENGINE_SOURCE_DIR is not set.
target_compile_definitions(bench_render PRIVATE ENGINE_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}")

# The test environment of tests/ is not seen from here: give the short run the
# same one (messages to standard error, the sanitizers' suppressions).
set(bench_render_env
  "ORJ_MESSAGES=stderr"
  "ENGINE_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0")
if(ENGINE_SANITIZE)
  find_file(BENCH_SWRAST_DRIVER swrast_dri.so
    PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib/dri /usr/lib64/dri NO_DEFAULT_PATH)
  if(BENCH_SWRAST_DRIVER)
    list(APPEND bench_render_env "LD_PRELOAD=${BENCH_SWRAST_DRIVER}")
  endif()
endif()
set_tests_properties(bench_render_short PROPERTIES ENVIRONMENT "${bench_render_env}")
