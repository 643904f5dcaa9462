include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_audio_codec_cores LABELS ffm_codec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_codec_core_test.cpp
  LIBS trivox_engine_test_util)
