# The subtitle dialog offscreen and through velmo-gallery; its text drawn by
# the engine's "VSUBTITLE" plug-in.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_subtitle LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/subtitle_dialog_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/filter_entry_edit_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_subtitle velmo-gallery)

velmo_qt_test(NAME test_fe_subtitle_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/subtitle_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_subtitle_e2e trivox_free trivox_job vsubtitle codec_tables_data)
