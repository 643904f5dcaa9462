include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_timing LABELS timing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/video_timing_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/audio_timing_test.cpp
  LIBS trivox_engine)
add_dependencies(test_timing codec_tables_data)
trivox_add_test(NAME test_timing_e2e LABELS timing e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timing_e2e_test.cpp
  LIBS trivox_engine_test_util)
add_dependencies(test_timing_e2e trivox_free trivox_job modrun codec_tables_data)
