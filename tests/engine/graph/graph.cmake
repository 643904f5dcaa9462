trivox_add_test(NAME test_graph LABELS graph core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_graph_test.cpp
  LIBS trivox_engine_graph)
