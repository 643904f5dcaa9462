include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Filter texts of a job carrying address values, converted by trivox_free with the staged plug-in.
trivox_add_test(NAME test_job_text_pointer LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/job_text_pointer_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_job_text_pointer trivox_free trivox_job vsubtitle codec_tables_data)
