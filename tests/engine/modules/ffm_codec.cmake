trivox_add_test(NAME test_audio_codec_cores LABELS ffm_codec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_codec_core_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ffm_test_media.cpp
  LIBS trivox_engine)
