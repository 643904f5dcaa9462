# DVD subpictures: the packet decoder, the fixture disc's packets, the "VSUBTITLEDVD" overlay.
trivox_add_test(NAME test_spu LABELS spu
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/spu_test.cpp
  LIBS trivox_engine)
set_tests_properties(test_spu PROPERTIES FIXTURES_REQUIRED dvd_fixtures)

# A DVD title converted with its subpicture stream burnt in (trivox_free -m test).
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_spu_e2e LABELS spu e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/spu_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
set_tests_properties(test_spu_e2e PROPERTIES FIXTURES_REQUIRED dvd_fixtures)
add_dependencies(test_spu_e2e trivox_free trivox_job vresize codec_tables_data)
