# orj import: the conversion arithmetic, real models from the asset
# importer's test set, and an imported model in the viewer.
if(TARGET orj_import_core)
  engine_pure_test(import_math_test ${CMAKE_CURRENT_LIST_DIR}/import_math_test.cpp)
  target_link_libraries(import_math_test PRIVATE orj_import_core)
  engine_pure_test(import_models_test ${CMAKE_CURRENT_LIST_DIR}/import_models_test.cpp)
  target_link_libraries(import_models_test PRIVATE orj_import_core test_support)
  engine_gl_test(import_view_test ${CMAKE_CURRENT_LIST_DIR}/import_view_test.cpp)
  target_link_libraries(import_view_test PRIVATE orj_import_core)
  engine_pure_test(import_cli_test ${CMAKE_CURRENT_LIST_DIR}/import_cli_test.cpp)
  target_link_libraries(import_cli_test PRIVATE orj_import_core test_support)
  engine_e2e_test(import_viewer_e2e_test ${CMAKE_CURRENT_LIST_DIR}/import_viewer_e2e_test.cpp)
  target_link_libraries(import_viewer_e2e_test PRIVATE orj_import_core nlohmann_json::nlohmann_json)
endif()
