trivox_add_test(NAME test_modrun LABELS tools vfilter afilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modrun_test.cpp
  LIBS trivox_common)
add_dependencies(test_modrun modrun vresize)
