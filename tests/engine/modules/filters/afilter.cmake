trivox_add_test(NAME test_audio_filters LABELS afilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_sample_convert_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/audio_volume_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/audio_resample_filter_test.cpp
  LIBS trivox_engine)
trivox_add_test(NAME test_audio_filter_host LABELS afilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_filter_host_test.cpp
  LIBS trivox_engine)
