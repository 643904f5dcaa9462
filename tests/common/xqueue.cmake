include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
add_executable(xqueue_helper ${CMAKE_CURRENT_LIST_DIR}/xqueue_helper.cpp)
trivox_warnings(xqueue_helper)
target_link_libraries(xqueue_helper PRIVATE trivox_common)

trivox_add_test(NAME test_xqueue LABELS xqueue
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/xqueue_test.cpp
  LIBS trivox_common trivox_test_util)
target_compile_definitions(test_xqueue PRIVATE XQUEUE_HELPER="$<TARGET_FILE:xqueue_helper>")
add_dependencies(test_xqueue xqueue_helper)
