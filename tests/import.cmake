# orj import: the conversion arithmetic, real models from the asset
# importer's test set, and an imported model in the viewer.
if(TARGET orj_import_core)
  engine_pure_test(import_math_test ${CMAKE_CURRENT_LIST_DIR}/import_math_test.cpp)
  target_link_libraries(import_math_test PRIVATE orj_import_core)
endif()
