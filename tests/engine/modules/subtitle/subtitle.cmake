# The "SUBTITLE" writer: which streams it takes and how it hands samples to the overlay.
trivox_add_test(NAME test_subtitle_writer LABELS spu subtitle
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/subtitle_writer_test.cpp
  LIBS trivox_engine)
