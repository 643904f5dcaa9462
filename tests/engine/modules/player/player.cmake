# The preview player, its window renderer and the preview surface, under the test clock.
trivox_add_test(NAME test_preview_player LABELS player
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_player_test.cpp ${CMAKE_CURRENT_LIST_DIR}/player_test_kit.cpp
  LIBS trivox_engine)
