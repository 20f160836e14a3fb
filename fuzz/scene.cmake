engine_fuzzer(scene ${CMAKE_CURRENT_LIST_DIR}/scene.cpp)
