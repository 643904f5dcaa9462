# The reorderable list, offscreen.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_drag_list LABELS fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/drag_list_test.cpp
  LIBS velmo_controls)
