add_executable(logring_writer ${CMAKE_CURRENT_LIST_DIR}/logring_writer.cpp)
trivox_warnings(logring_writer)
target_link_libraries(logring_writer PRIVATE trivox_common)

trivox_add_test(NAME test_logring LABELS logring
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logring_test.cpp
  LIBS trivox_common)
target_compile_definitions(test_logring PRIVATE LOGRING_WRITER="$<TARGET_FILE:logring_writer>")
add_dependencies(test_logring logring_writer)
