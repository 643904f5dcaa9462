include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_result_channel LABELS entry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/result_channel_test.cpp ${CMAKE_CURRENT_LIST_DIR}/result_text_test.cpp
  LIBS trivox_platform trivox_test_util)
