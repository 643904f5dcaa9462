# The clip range dialog and its rules over injected frame renderers.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_clip_range LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/clip_range_dialog_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)

# The same dialog with the real engine: the frames at the thumbs, and the
# range through a conversion.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_clip_range_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/clip_range_e2e_test.cpp
  LIBS velmo_dialogs velmo_model_test_util trivox_test_util)
add_dependencies(test_fe_clip_range_e2e trivox_free trivox_job vresize codec_tables_data)
