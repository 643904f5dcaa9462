trivox_add_test(NAME test_trivox_job LABELS serial tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/trivox_job_test.cpp
  LIBS trivox_common)
add_dependencies(test_trivox_job trivox_job)
