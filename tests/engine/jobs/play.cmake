include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Play jobs (-p) end to end through trivox_ctl, with SDL's disk and dummy audio drivers.
trivox_add_test(NAME test_play_e2e LABELS play e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/play_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 600)
# Plays are paced by the clock: they run alone, so that the load of the other
# tests (heavy under the sanitizers) does not starve them of real time.
set_tests_properties(test_play_e2e PROPERTIES FIXTURES_REQUIRED dvd_fixtures RUN_SERIAL TRUE)
add_dependencies(test_play_e2e trivox_free trivox_job trivox_ctl codec_tables_data)
