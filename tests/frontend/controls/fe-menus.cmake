# The flat menus: the character table, item sizes and grabs of open menus; the
# main window's menu bar in that look, kept as a picture.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_menus LABELS fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/menu_xp_test.cpp
  LIBS velmo_ui)
