trivox_add_test(NAME test_vresize LABELS vresize
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vresize_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vresize_plugin_test.cpp
          ${PROJECT_SOURCE_DIR}/plugins/vresize/vresize_filter.cpp
  LIBS trivox_engine)
add_dependencies(test_vresize vresize)
