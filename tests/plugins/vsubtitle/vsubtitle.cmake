# "VSUBTITLE": the dialog's keys, subtitle text handling and drawing with libass.
trivox_add_test(NAME test_vsubtitle LABELS vsubtitle
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_text_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_limits_test.cpp
  LIBS vsubtitle_core)

# Text subtitles burnt in by a copy of the engine with the staged plug-in.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_vsubtitle_e2e LABELS vsubtitle e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_vsubtitle_e2e trivox_free trivox_job vsubtitle codec_tables_data)

# Subtitle files styled to exhaust the renderer: bounded conversions and a stop.
trivox_add_test(NAME test_vsubtitle_hostile_e2e LABELS vsubtitle e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_hostile_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_vsubtitle_hostile_e2e trivox_free trivox_job trivox_ctl vsubtitle codec_tables_data)
