engine_gl_test(render_gl_test ${CMAKE_CURRENT_LIST_DIR}/render_gl_test.cpp)
engine_pure_test(render_sample_data_test ${CMAKE_CURRENT_LIST_DIR}/render_sample_data_test.cpp)
