trivox_add_test(NAME test_ffm_writer LABELS ffm_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ffm_writer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ffm_test_media.cpp
  LIBS trivox_engine
  TIMEOUT 900)
