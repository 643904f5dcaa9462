# The conversion progress dialog and the log window over the stand-in engine.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/fe-session.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
add_library(velmo_progress_test_util STATIC ${CMAKE_CURRENT_LIST_DIR}/progress_test_util.cpp)
trivox_warnings(velmo_progress_test_util)
target_link_libraries(velmo_progress_test_util PUBLIC velmo_dialogs)

velmo_qt_test(NAME test_fe_progress LABELS fe-progress fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_progress_test.cpp
  LIBS velmo_dialogs velmo_progress_test_util velmo_fake_engine_folder velmo_model_test_util)

# A DVD title through the dialog with the real engine.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_progress_dvd LABELS fe-progress e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_progress_dvd_test.cpp
  LIBS velmo_dialogs velmo_progress_test_util velmo_model_test_util trivox_test_util)
set_tests_properties(test_fe_progress_dvd PROPERTIES FIXTURES_REQUIRED dvd_fixtures TIMEOUT 900)
add_dependencies(test_fe_progress_dvd trivox_free vresize codec_tables_data profile_data)

# The frame-rate list, the custom rate, the filter picker and the completion dialog.
velmo_qt_test(NAME test_fe_convert_dialogs LABELS fe-convert fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_dialogs_test.cpp
  LIBS velmo_dialogs)
