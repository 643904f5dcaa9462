trivox_add_test(NAME test_ffmpeg_media_types LABELS ffmpeg_types
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffmpeg_media_types_test.cpp
  LIBS trivox_engine)
add_dependencies(test_ffmpeg_media_types codec_tables_data)
