# The shipped filter descriptions in the filter pages: the picker's list, each
# filter's dialog from the picker and from "Config...", offscreen; filters
# picked and set in their dialogs, converted by the engine.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_filter_data LABELS fe-dialogs fe-data
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/filter_data_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)
add_dependencies(test_fe_filter_data profile_data)

velmo_qt_test(NAME test_fe_filter_data_e2e LABELS fe-dialogs fe-data e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/filter_data_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_filter_data_e2e profile_data trivox_free trivox_job vsubtitle codec_tables_data)
