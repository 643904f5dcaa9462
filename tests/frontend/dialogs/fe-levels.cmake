# The levels, tweak and equaliser dialogs; their gallery
# entries; an equaliser preset from the dialog run through the engine.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_levels_eq LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/levels_eq_dialog_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_levels_eq velmo-gallery resource_bitmaps)

velmo_qt_test(NAME test_fe_equalizer_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/equalizer_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_equalizer_e2e trivox_free trivox_job codec_tables_data resource_bitmaps)

velmo_qt_test(NAME test_fe_levels_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/levels_e2e_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_levels_e2e trivox_free trivox_job codec_tables_data)
