# The preview surface the engine's renderer draws into and the front end paints from.
trivox_add_test(NAME test_preview_surface LABELS player
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_surface_test.cpp
  LIBS trivox_common)
