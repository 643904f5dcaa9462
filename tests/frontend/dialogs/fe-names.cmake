# The file-info sheet: the output name and tag rules, both pages offscreen,
# and tags typed on the page written by the engine into a converted file.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_file_info LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_info_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)

velmo_qt_test(NAME test_fe_file_info_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_info_e2e_test.cpp
  LIBS velmo_dialogs velmo_model_test_util trivox_test_util)
add_dependencies(test_fe_file_info_e2e trivox_free profile_data codec_tables_data)
