# The main window over the DVD fixtures, with a fake drive list, scripted
# folder choices and recorded message boxes; velmo's --load-dvd --screenshot run.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_mainwin LABELS fe-mainwin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  LIBS velmo_app trivox_test_util)
set_tests_properties(test_fe_mainwin PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_fe_mainwin velmo codec_tables_data profile_data help_data resource_bitmaps velmo_skin
  tree_pictures)

# Convert Now: refusals, the RealMedia question, taking-part rows, copied video's
# frame rates, and a run's statuses over the stand-in engine.
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/fe-session.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_convert_now LABELS fe-convert
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_now_test.cpp
  LIBS velmo_app velmo_fake_engine_folder velmo_model_test_util)
set_tests_properties(test_fe_convert_now PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_fe_convert_now codec_tables_data profile_data)

# velmo --convert-checked --exit-when-done with the real engine.
velmo_qt_test(NAME test_fe_velmo_convert LABELS fe-e2e e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/velmo_convert_e2e_test.cpp
  LIBS velmo_ui trivox_test_util)
set_tests_properties(test_fe_velmo_convert PROPERTIES FIXTURES_REQUIRED dvd_fixtures TIMEOUT 900)
add_dependencies(test_fe_velmo_convert velmo trivox_free vresize mpeg4enc codec_tables_data profile_data)
