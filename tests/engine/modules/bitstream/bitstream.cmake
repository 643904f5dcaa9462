trivox_add_test(NAME test_bit_io LABELS bitstream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bit_io_test.cpp
  LIBS trivox_engine)
trivox_add_test(NAME test_bitstream LABELS bitstream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bitstream_test.cpp
  LIBS trivox_engine)
trivox_add_test(NAME test_bitstream_media LABELS bitstream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bitstream_media_test.cpp
  LIBS trivox_engine)
