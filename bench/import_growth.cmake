# Linear growth of importing same-named nodes and of "orj info" on objects no
# root reaches, from 1000 to 300000 objects.
if(TARGET orj_import_core)
  engine_bench(bench_import_growth PURE ${CMAKE_CURRENT_LIST_DIR}/import_growth.cpp ${CMAKE_SOURCE_DIR}/app/orj_info.cpp)
  target_link_libraries(bench_import_growth PRIVATE orj_import_core)
endif()
