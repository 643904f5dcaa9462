include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# The DVD reader over the fixture discs (made by dvd_scan_fixtures).
trivox_add_test(NAME test_dvd_reader LABELS dvd_read
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_reader_test.cpp
  LIBS trivox_engine_test_util)
set_tests_properties(test_dvd_reader PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_reader dvdcat codec_tables_data)

# DVD titles converted by trivox_free -m test (jobs from trivox_job), checked with ffprobe.
trivox_add_test(NAME test_dvd_e2e LABELS dvd_read e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 600)
set_tests_properties(test_dvd_e2e PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_e2e trivox_free trivox_job trivox_ctl dvdscan mpeg4enc codec_tables_data sample_dvd)
