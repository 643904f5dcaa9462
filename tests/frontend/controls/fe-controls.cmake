# The front end's controls: check-box tree, column tree, check-box pictures,
# hover button, colour picker; page tabs and the watermark and frame previews.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_controls LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/colour_picker_test.cpp
  LIBS velmo_controls)

velmo_qt_test(NAME test_fe_previews LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/previews_test.cpp
  LIBS velmo_controls trivox_test_util)

# The previews against the engine's own output: watermark placement and frames
# rendered with -b, also through velmo-gallery.
velmo_qt_test(NAME test_fe_preview_e2e LABELS fe-controls e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_e2e_test.cpp
  LIBS velmo_controls trivox_test_util)
add_dependencies(test_fe_preview_e2e trivox_free trivox_job codec_tables_data velmo-gallery)
