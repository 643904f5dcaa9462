trivox_add_test(NAME test_mem_allocator LABELS allocator platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mem_allocator_test.cpp
  LIBS trivox_platform)
