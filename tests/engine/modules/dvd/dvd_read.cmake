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
  TIMEOUT 1800)
set_tests_properties(test_dvd_e2e PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_e2e trivox_free trivox_job trivox_ctl dvdscan mpeg4enc codec_tables_data sample_dvd)

# Damaged discs end to end. The shim makes a file's sectors fail with EIO (LD_PRELOAD); it is
# built without the sanitizers, which a preloaded library must not need.
add_library(trivox_eio_shim MODULE ${PROJECT_SOURCE_DIR}/tests/fixtures/eio_shim.c)
set_target_properties(trivox_eio_shim PROPERTIES PREFIX "" COMPILE_OPTIONS "" LINK_OPTIONS ""
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(trivox_eio_shim PRIVATE dl)
trivox_add_test(NAME test_dvd_damage LABELS dvd_read e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_damage_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 1800)
set_tests_properties(test_dvd_damage PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_damage trivox_free trivox_job trivox_eio_shim codec_tables_data)

# Multi-cell titles (cells, programs, VOB files with their own clocks) to MP4 and AVI.
trivox_add_test(NAME test_dvd_timing_e2e LABELS dvd_read e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_timing_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 900)
set_tests_properties(test_dvd_timing_e2e PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_timing_e2e trivox_free trivox_job codec_tables_data)
