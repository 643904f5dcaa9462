trivox_add_test(NAME test_ffm_reader LABELS ffm_reader
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_reader_test.cpp ${CMAKE_CURRENT_LIST_DIR}/reader_test_util.cpp
  LIBS trivox_engine)
add_dependencies(test_ffm_reader codec_tables_data)
set_tests_properties(test_ffm_reader PROPERTIES FIXTURES_REQUIRED media)
