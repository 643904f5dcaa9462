# The main window over the DVD fixtures, with a fake drive list, scripted
# folder choices and recorded message boxes; velmo's --load-dvd --screenshot run.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_mainwin LABELS fe-mainwin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  LIBS velmo_app trivox_test_util)
set_tests_properties(test_fe_mainwin PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_fe_mainwin velmo codec_tables_data profile_data)
