# The DVD reader over the fixture discs (made by dvd_scan_fixtures).
trivox_add_test(NAME test_dvd_reader LABELS dvd_read
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_reader_test.cpp
  LIBS trivox_engine)
set_tests_properties(test_dvd_reader PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_reader dvdcat codec_tables_data)
