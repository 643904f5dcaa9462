# The option combo, the "Advance settings" dialog and the settings objects of
# codecs (the dialog's, and a codec driver's own over the stand-in driver of
# tests/frontend/model/fe-dialogs.cmake), offscreen.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_dialogs LABELS fe-dialogs
  SOURCES ${PROJECT_SOURCE_DIR}/tests/frontend/controls/option_combo_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/frontend/ui/vfw_codec_setup_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/advance_settings_test.cpp
  LIBS velmo_dialogs)
target_compile_definitions(test_fe_dialogs PRIVATE
  FAKE_VFW_DRIVER="${CMAKE_BINARY_DIR}/test-fixtures/frontend/velmo_test_vfw_driver.so"
  FAKE_VFW_NO_ENTRY="${CMAKE_BINARY_DIR}/test-fixtures/frontend/velmo_test_vfw_no_entry.so")
add_dependencies(test_fe_dialogs velmo_test_vfw_driver velmo_test_vfw_no_entry)

# The crop, resize and pad dialog, the Resize page and the frame-render worker
# over injected renderers.
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_crop_resize LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crop_resize_dialog_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)

# The same dialog with the real engine: its preview frame, and its text through
# a conversion.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_crop_resize_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crop_resize_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_crop_resize_e2e trivox_free trivox_job vresize codec_tables_data)

# The "Output format" dialog, its settings pages and the page frame over the
# staged profile tree; a conversion of the chosen settings by the staged engine;
# the VP6 codec's state over the stand-in driver.
velmo_qt_test(NAME test_fe_output_format LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/output_format_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/frontend/controls/page_frame_test.cpp
  LIBS velmo_dialogs velmo_model_test_util trivox_test_util)
target_compile_definitions(test_fe_output_format PRIVATE
  FAKE_VFW_DRIVER="${CMAKE_BINARY_DIR}/test-fixtures/frontend/velmo_test_vfw_driver.so")
add_dependencies(test_fe_output_format velmo_test_vfw_driver profile_data tree_pictures trivox_free vresize
  codec_tables_data)
