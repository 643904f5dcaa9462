trivox_add_test(NAME test_codec_tables LABELS tables common
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_tables_test.cpp
  LIBS trivox_common)
add_dependencies(test_codec_tables codec_tables_data)
