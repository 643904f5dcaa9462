include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_tags LABELS tags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tag_io_test.cpp
  LIBS trivox_engine_test_util)
