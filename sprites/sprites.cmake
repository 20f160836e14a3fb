# Run-length records, the animation file and the sprite view's arithmetic need no window.
target_sources(engine_pure PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frame_runs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/animation_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sprite_view.cpp
)
# Bitmaps, textures, the builder's images and drawing.
target_sources(engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/animation_bitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/animation_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/animation_builder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sprite_draw.cpp
)
