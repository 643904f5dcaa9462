include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_modrun LABELS tools vfilter afilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modrun_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_modrun modrun vresize)
