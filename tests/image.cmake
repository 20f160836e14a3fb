engine_gl_test(image_gl_test ${CMAKE_CURRENT_LIST_DIR}/image_gl_test.cpp)
engine_pure_test(image_test ${CMAKE_CURRENT_LIST_DIR}/image_test.cpp)
