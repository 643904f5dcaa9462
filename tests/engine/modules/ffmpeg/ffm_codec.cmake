include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_ffm_codec_modules LABELS ffm_codec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_codec_module_test.cpp
  LIBS trivox_engine_test_util)
set_tests_properties(test_ffm_codec_modules PROPERTIES FIXTURES_REQUIRED media)
add_dependencies(test_ffm_codec_modules codec_tables_data)
