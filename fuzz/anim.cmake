engine_fuzzer(anim ${CMAKE_CURRENT_LIST_DIR}/anim.cpp)
