include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_probe LABELS probe
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_test.cpp
  LIBS trivox_engine trivox_test_util)
add_dependencies(test_probe codec_tables_data)

trivox_add_test(NAME test_probe_e2e LABELS probe e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_probe_e2e trivox_free codec_tables_data)
