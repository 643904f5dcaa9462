trivox_add_test(NAME test_vfilter LABELS vfilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_layout_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/colour_convert_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/video_filter_host_test.cpp
  LIBS trivox_engine)
