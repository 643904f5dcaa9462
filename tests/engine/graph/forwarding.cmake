trivox_add_test(NAME test_forwarding LABELS forwarding core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/forwarding_allocator_test.cpp
  LIBS trivox_engine_graph)
