# The hint edit and the property sheet, offscreen.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_hint_edit LABELS fe-controls fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hint_edit_test.cpp
  LIBS velmo_controls)
