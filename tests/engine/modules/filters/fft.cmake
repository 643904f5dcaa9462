trivox_add_test(NAME test_real_fft LABELS fft
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/real_fft_test.cpp
  LIBS trivox_mod_filters PkgConfig::FFMPEG)
