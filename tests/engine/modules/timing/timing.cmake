include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_timing LABELS timing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/video_timing_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/audio_timing_test.cpp
  LIBS trivox_engine)
add_dependencies(test_timing codec_tables_data)
