trivox_add_test(NAME test_registry LABELS registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp ${CMAKE_CURRENT_LIST_DIR}/registry_test_util.cpp
  LIBS trivox_engine)
add_dependencies(test_registry codec_tables_data)
