engine_pure_test(output_test ${CMAKE_CURRENT_LIST_DIR}/output_test.cpp)
target_link_libraries(output_test PRIVATE test_support)
