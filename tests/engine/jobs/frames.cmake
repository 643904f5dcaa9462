include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Frame render (-b), demultiplex (-d) and multiplex (-e) jobs end to end.
trivox_add_test(NAME test_frame_e2e LABELS frames e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_frame_e2e trivox_free trivox_job trivox_ctl codec_tables_data)
trivox_add_test(NAME test_stream_copy_e2e LABELS streamcopy e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stream_copy_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_stream_copy_e2e trivox_free trivox_job codec_tables_data)
