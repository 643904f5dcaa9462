# The watermark dialog with its settings file, the filter list pages and their
# dialog table, offscreen; the dialog's placement against a conversion by the
# engine's "VWATERMARK".
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_watermark LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/watermark_dialog_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/filter_pages_test.cpp
  LIBS velmo_dialogs velmo_model_test_util trivox_test_util)
add_dependencies(test_fe_watermark velmo-gallery)

velmo_qt_test(NAME test_fe_watermark_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/watermark_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_watermark_e2e trivox_free trivox_job codec_tables_data)
