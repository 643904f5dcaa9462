trivox_add_test(NAME test_vresize LABELS vresize
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vresize_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vresize_plugin_test.cpp
  LIBS vresize_core trivox_engine)
add_dependencies(test_vresize vresize)
