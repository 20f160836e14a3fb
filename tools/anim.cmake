add_executable(anim ${CMAKE_CURRENT_LIST_DIR}/anim.cpp)
target_compile_options(anim PRIVATE ${ENGINE_WARNINGS})
target_link_libraries(anim PRIVATE engine)
