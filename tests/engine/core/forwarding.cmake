# Built from the engine sources they test alone, as the plug-in SDK would build them.
trivox_add_test(NAME test_forwarding LABELS forwarding core threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/forwarding_allocator_test.cpp
          ${PROJECT_SOURCE_DIR}/engine/core/forwarding_allocator.cpp
  LIBS trivox_platform)
