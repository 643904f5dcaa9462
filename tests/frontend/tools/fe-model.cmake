include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_velmo_cli LABELS fe-model tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/velmo_cli_test.cpp
  LIBS trivox_test_util)
add_dependencies(test_velmo_cli velmo-cli trivox_job codec_tables_data profile_data)
set_tests_properties(test_velmo_cli PROPERTIES FIXTURES_REQUIRED "dvd_fixtures;dvd_many_fixture")
