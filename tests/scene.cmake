engine_pure_test(scene_reader_test
  ${CMAKE_CURRENT_LIST_DIR}/scene_reader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_reject_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_numbers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_file_test.cpp)
target_link_libraries(scene_reader_test PRIVATE test_support)

engine_pure_test(scene_writer_test ${CMAKE_CURRENT_LIST_DIR}/scene_writer_test.cpp)
target_link_libraries(scene_writer_test PRIVATE test_support)

engine_pure_test(scene_orj_test ${CMAKE_CURRENT_LIST_DIR}/scene_orj_test.cpp)
target_link_libraries(scene_orj_test PRIVATE test_support nlohmann_json::nlohmann_json)
add_dependencies(scene_orj_test orj)

engine_gl_test(scene_gl_test ${CMAKE_CURRENT_LIST_DIR}/scene_gl_test.cpp)

engine_pure_test(scene_load_test ${CMAKE_CURRENT_LIST_DIR}/scene_load_test.cpp)
target_link_libraries(scene_load_test PRIVATE orj_gl test_support)
