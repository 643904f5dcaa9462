include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_registry LABELS registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp
  LIBS trivox_engine_test_util trivox_registry_test_util)
add_dependencies(test_registry codec_tables_data)
