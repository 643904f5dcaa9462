# DVD playback reading over the fixture discs (made by dvd_scan_fixtures).
trivox_add_test(NAME test_dvd_playback LABELS dvd_read
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_playback_test.cpp
  LIBS trivox_common_dvd)
set_tests_properties(test_dvd_playback PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
