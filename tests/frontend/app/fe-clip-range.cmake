# The main window's "Trim..." command over the DVD fixtures.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_mainwin_trim LABELS fe-mainwin fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_trim_test.cpp
  LIBS velmo_app trivox_test_util)
set_tests_properties(test_fe_mainwin_trim PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_fe_mainwin_trim codec_tables_data profile_data)
