include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_pass_e2e LABELS passthru e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pass_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_pass_e2e trivox_free trivox_job trivox_ctl codec_tables_data)
