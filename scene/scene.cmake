# The pure reader and writer go to engine_pure; display lists to engine.
target_sources(engine_pure PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scene_numbers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_hierarchy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_reader.cpp
)
target_sources(engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scene_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_load.cpp
)
target_sources(engine_pure PRIVATE ${CMAKE_CURRENT_LIST_DIR}/scene_writer.cpp)
