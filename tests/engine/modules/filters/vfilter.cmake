trivox_add_test(NAME test_vfilter LABELS vfilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_layout_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/colour_convert_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/video_filter_host_test.cpp
  LIBS trivox_engine)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_vfilters LABELS vfilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/video_filters_test.cpp
  LIBS trivox_vfilter_test_util trivox_engine)
trivox_add_test(NAME test_overlay LABELS overlay vfilter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/overlay_test.cpp
  LIBS trivox_vfilter_test_util trivox_engine trivox_test_util)
