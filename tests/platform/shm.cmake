include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
add_executable(shm_helper ${CMAKE_CURRENT_LIST_DIR}/shm_helper.cpp)
trivox_warnings(shm_helper)
target_link_libraries(shm_helper PRIVATE trivox_common)

trivox_add_test(NAME test_shm LABELS shm
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shm_test.cpp
  LIBS trivox_common trivox_test_util)
target_compile_definitions(test_shm PRIVATE SHM_HELPER="$<TARGET_FILE:shm_helper>")
add_dependencies(test_shm shm_helper)
