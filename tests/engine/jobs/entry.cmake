include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_engine_entry LABELS entry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_entry_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_engine_entry trivox_free)
trivox_add_test(NAME test_job_files LABELS serial entry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/job_files_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_job_files trivox_free)
