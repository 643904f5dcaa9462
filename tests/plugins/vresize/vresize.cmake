include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_vresize LABELS vresize
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vresize_filter_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vresize_plugin_test.cpp
  LIBS vresize_core trivox_engine trivox_vfilter_test_util)
add_dependencies(test_vresize vresize)
