trivox_add_test(NAME test_data_stream LABELS serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_stream_test.cpp
  LIBS trivox_common)
trivox_add_test(NAME test_job_records LABELS serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/job_records_test.cpp
  LIBS trivox_common)
