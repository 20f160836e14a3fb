# orj: the scene inspector (check, info, dump); needs no window.
add_executable(orj
  ${CMAKE_CURRENT_LIST_DIR}/orj_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/orj_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/orj_dump.cpp)
target_compile_options(orj PRIVATE ${ENGINE_WARNINGS})
target_link_libraries(orj PRIVATE engine_pure nlohmann_json::nlohmann_json)
