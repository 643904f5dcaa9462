trivox_add_test(NAME test_equalizer LABELS eq
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_equalizer_filter_test.cpp
  LIBS trivox_mod_filters)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_eq_e2e LABELS eq e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/eq_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_eq_e2e trivox_free trivox_job codec_tables_data)
