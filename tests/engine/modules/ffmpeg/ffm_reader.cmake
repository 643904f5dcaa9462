include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_ffm_reader LABELS ffm_reader
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_reader_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_ffm_reader codec_tables_data)
set_tests_properties(test_ffm_reader PROPERTIES FIXTURES_REQUIRED media)
