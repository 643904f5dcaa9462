# DVD scan: title reader, title list, main-title vote and the dvdscan tool.
# The discs are made once into the build dir by the fixture script (skipped with 77
# when a DVD tool is missing).
add_test(NAME dvd_scan_fixtures
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/make_dvd_fixtures.sh ${CMAKE_BINARY_DIR}/fixtures/dvd)
set_tests_properties(dvd_scan_fixtures PROPERTIES
  FIXTURES_SETUP dvd_fixtures SKIP_RETURN_CODE 77 LABELS dvd_scan TIMEOUT 600)

trivox_add_test(NAME test_dvd_title_reader LABELS dvd_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_title_reader_test.cpp
  LIBS trivox_common_dvd)

trivox_add_test(NAME test_dvd_scan LABELS dvd_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_scan_test.cpp
  LIBS trivox_common_dvd)
set_tests_properties(test_dvd_scan PROPERTIES FIXTURES_REQUIRED dvd_fixtures)

trivox_add_test(NAME test_dvdscan_tool LABELS dvd_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvdscan_tool_test.cpp
  LIBS trivox_common_dvd)
set_tests_properties(test_dvdscan_tool PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvdscan_tool dvdscan)

trivox_add_test(NAME test_dvd_ifo_check LABELS dvd_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_ifo_check_test.cpp
  LIBS trivox_common_dvd)
set_tests_properties(test_dvd_ifo_check PROPERTIES FIXTURES_REQUIRED dvd_fixtures)

# Damaged IFO files given to the staged tools (under the asan preset, sanitized tools).
trivox_add_test(NAME test_dvd_damaged_ifo LABELS dvd_scan
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_damaged_ifo_test.cpp
  LIBS trivox_common_dvd
  TIMEOUT 900)
set_tests_properties(test_dvd_damaged_ifo PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_dvd_damaged_ifo dvdscan dvdcat)
