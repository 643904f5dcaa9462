include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_mpeg4_plugin LABELS mpeg4_plugin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mpeg4_plugin_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 600)
add_dependencies(test_mpeg4_plugin mpeg4enc codec_tables_data)
