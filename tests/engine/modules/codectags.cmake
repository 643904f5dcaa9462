trivox_add_test(NAME test_codec_tags LABELS codectags modules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_tags_test.cpp
  LIBS trivox_engine)
add_dependencies(test_codec_tags codec_tables_data)
