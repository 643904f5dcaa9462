# The wave output over SDL2 (SDL's dummy and disk drivers: no sound card needed).
trivox_add_test(NAME test_audio_out LABELS player platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_out_test.cpp
  LIBS trivox_platform)
