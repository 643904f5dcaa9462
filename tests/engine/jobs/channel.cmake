include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_channel LABELS channel
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/channel_test.cpp
  LIBS trivox_engine trivox_test_util)
add_dependencies(test_channel trivox_free trivox_ctl trivox_job)
