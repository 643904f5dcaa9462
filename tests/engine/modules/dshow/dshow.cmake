include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_dshow_bridge LABELS dshow_bridge
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_bridge_test.cpp
  LIBS trivox_engine
  TIMEOUT 120)
trivox_add_test(NAME test_dshow_coder LABELS dshow_coder
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_coder_test.cpp
  LIBS trivox_engine_test_util
  TIMEOUT 300)
add_dependencies(test_dshow_coder codec_tables_data)
trivox_add_test(NAME test_dshow_e2e LABELS dshow_coder e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_e2e_test.cpp
  LIBS trivox_common trivox_test_util
  TIMEOUT 300)
add_dependencies(test_dshow_e2e trivox_free trivox_job codec_tables_data)
