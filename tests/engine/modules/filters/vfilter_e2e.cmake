include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_vfilter_e2e LABELS vfilter overlay e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vfilter_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_vfilter_e2e trivox_free trivox_job codec_tables_data)
