trivox_add_test(NAME test_ffm_helpers LABELS ffmpeg_types
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_adts_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ffm_scaler_test.cpp
  LIBS trivox_engine)
