trivox_add_test(NAME test_codec_tags LABELS codectags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_tags_test.cpp
  LIBS trivox_engine)
add_dependencies(test_codec_tags codec_tables_data)
trivox_add_test(NAME test_codec_tags_mux LABELS codectags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_tags_mux_test.cpp
  LIBS trivox_engine)
add_dependencies(test_codec_tags_mux codec_tables_data)
