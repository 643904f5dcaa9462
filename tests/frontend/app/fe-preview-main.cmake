# The main window's own preview panel and the snapshot folder setting.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
velmo_qt_test(NAME test_fe_preview_main LABELS fe-mainwin fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_main_test.cpp
  LIBS velmo_app)
