engine_fuzzer(image ${CMAKE_CURRENT_LIST_DIR}/image.cpp)
