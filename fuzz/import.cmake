if(TARGET orj_import_core)
  engine_fuzzer(import ${CMAKE_CURRENT_LIST_DIR}/import.cpp)
  target_link_libraries(fuzz_import PRIVATE orj_import_core)
endif()
