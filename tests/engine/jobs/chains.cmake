include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_chains LABELS chains
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chains_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/stream_picking_test.cpp
  LIBS trivox_engine_test_util)
