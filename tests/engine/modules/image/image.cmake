trivox_add_test(NAME test_bmp_writer LABELS image
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bmp_writer_test.cpp
  LIBS trivox_engine)
