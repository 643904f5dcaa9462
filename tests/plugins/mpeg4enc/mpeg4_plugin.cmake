trivox_add_test(NAME test_mpeg4_plugin LABELS mpeg4_plugin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mpeg4_plugin_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/engine/modules/ffm_test_media.cpp
  LIBS trivox_engine
  TIMEOUT 600)
add_dependencies(test_mpeg4_plugin mpeg4enc codec_tables_data)
