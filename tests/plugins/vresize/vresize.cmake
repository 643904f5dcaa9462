trivox_add_test(NAME test_vresize LABELS vresize
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vresize_filter_test.cpp
          ${PROJECT_SOURCE_DIR}/plugins/vresize/vresize_filter.cpp
  LIBS trivox_engine)
