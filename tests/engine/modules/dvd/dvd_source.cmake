include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# "dvd:" source: ring, block-reading thread, the "dvd" protocol under FFmpeg, dvdcat.
trivox_add_test(NAME test_dvd_source LABELS dvd_read
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_source_test.cpp
  LIBS trivox_engine_test_util)
set_tests_properties(test_dvd_source PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_source dvdcat)
