add_executable(sprite_demo ${CMAKE_CURRENT_LIST_DIR}/sprite_demo.cpp)
target_compile_options(sprite_demo PRIVATE ${ENGINE_WARNINGS})
target_link_libraries(sprite_demo PRIVATE engine)
