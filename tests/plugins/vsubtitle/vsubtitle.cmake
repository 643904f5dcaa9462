# "VSUBTITLE": the dialog's keys, subtitle text handling and drawing with libass.
pkg_check_modules(TEST_LIBASS REQUIRED IMPORTED_TARGET libass)
trivox_add_test(NAME test_vsubtitle LABELS vsubtitle
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_text_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_filter_test.cpp
          ${PROJECT_SOURCE_DIR}/plugins/vsubtitle/subtitle_style.cpp
          ${PROJECT_SOURCE_DIR}/plugins/vsubtitle/subtitle_text.cpp
          ${PROJECT_SOURCE_DIR}/plugins/vsubtitle/vsubtitle_filter.cpp
  LIBS trivox_plugin_api PkgConfig::TEST_LIBASS)

# Text subtitles burnt in by a copy of the engine with the staged plug-in.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_vsubtitle_e2e LABELS vsubtitle e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vsubtitle_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_vsubtitle_e2e trivox_free trivox_job vsubtitle codec_tables_data)
