# velmo-cli probe, render-frame and convert: with the stand-in engine and with
# the staged engine; DVD titles from the DVD fixtures.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/fe-session.cmake)
trivox_add_test(NAME test_velmo_cli_engine LABELS fe-session tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/velmo_cli_engine_test.cpp
  LIBS trivox_test_util velmo_fake_engine_folder)
add_dependencies(test_velmo_cli_engine velmo-cli trivox_free trivox_job trivox_ctl vresize codec_tables_data)
set_tests_properties(test_velmo_cli_engine PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
