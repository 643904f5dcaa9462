include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_ffm_input_bounds LABELS probe
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/input_bounds_test.cpp
  LIBS trivox_engine_test_util)
