include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_ffm_writer LABELS ffm_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_writer_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 900)
trivox_add_test(NAME test_ffm_writer_e2e LABELS ffm_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_writer_e2e_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 1200)
add_dependencies(test_ffm_writer_e2e trivox_free trivox_job mpeg4enc codec_tables_data)
