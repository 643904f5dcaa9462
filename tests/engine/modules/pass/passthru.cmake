include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_passthru LABELS passthru
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pass_test.cpp
  LIBS trivox_engine trivox_test_util)
