include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_mpeg_audio_length LABELS bitstream tags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mpeg_audio_length_test.cpp
  LIBS trivox_engine_test_util)
