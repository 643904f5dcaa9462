# The DirectShow reader and writer modules and the Windows Media writer.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_dshow_reader LABELS dshow_reader
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_reader_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_dshow_reader codec_tables_data)
trivox_add_test(NAME test_dshow_writer LABELS dshow_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_writer_test.cpp
  LIBS trivox_engine
  TIMEOUT 120)
trivox_add_test(NAME test_wm_writer LABELS wm_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wm_writer_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_wm_writer codec_tables_data)
trivox_add_test(NAME test_wm_e2e LABELS wm_writer dshow_reader e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wm_e2e_test.cpp
  LIBS trivox_common trivox_test_util
  TIMEOUT 600)
add_dependencies(test_wm_e2e trivox_free trivox_job codec_tables_data)
