trivox_add_test(NAME test_audio_codec_cores LABELS ffm_codec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_codec_core_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ffm_test_media.cpp
  LIBS trivox_engine)
trivox_add_test(NAME test_ffm_codec_modules LABELS ffm_codec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_codec_module_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ffm_test_media.cpp
  LIBS trivox_engine)
set_tests_properties(test_ffm_codec_modules PROPERTIES FIXTURES_REQUIRED media)
add_dependencies(test_ffm_codec_modules codec_tables_data)
