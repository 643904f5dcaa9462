# trivox_test_util: helpers shared by tests in several folders (shell commands,
# child processes, file contents, the test's shared-memory namespace). Fragments that use it
# include this file first, so it works whatever order the fragments load in.
include_guard(GLOBAL)
add_library(trivox_test_util STATIC
  ${CMAKE_CURRENT_LIST_DIR}/shell_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/child_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_bytes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shm_namespace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/e2e_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_file.cpp)
trivox_warnings(trivox_test_util)
target_link_libraries(trivox_test_util PUBLIC trivox_platform)
target_compile_definitions(trivox_test_util PRIVATE TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}"
  TRIVOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")

# Helpers of the tests that link the engine: FFmpeg-made test media and the reader
# sample collectors.
add_library(trivox_engine_test_util STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ffm_test_media.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reader_test_util.cpp)
trivox_warnings(trivox_engine_test_util)
target_link_libraries(trivox_engine_test_util PUBLIC trivox_engine trivox_test_util GTest::gtest)
target_compile_definitions(trivox_engine_test_util PRIVATE
  TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}" TRIVOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")

# Helpers two test programs of one area share, compiled once.
add_library(trivox_avi_test_writer STATIC ${PROJECT_SOURCE_DIR}/tests/engine/modules/acm/avi_test_writer.cpp)
add_library(trivox_vfilter_test_util STATIC
  ${PROJECT_SOURCE_DIR}/tests/engine/modules/filters/vfilter_test_util.cpp)
add_library(trivox_registry_test_util STATIC ${PROJECT_SOURCE_DIR}/tests/engine/registry/registry_test_util.cpp)
target_link_libraries(trivox_avi_test_writer PUBLIC trivox_platform)
target_link_libraries(trivox_vfilter_test_util PUBLIC trivox_engine)
target_link_libraries(trivox_registry_test_util PUBLIC trivox_engine GTest::gtest)
foreach(helper trivox_avi_test_writer trivox_vfilter_test_util trivox_registry_test_util)
  trivox_warnings(${helper})
  target_include_directories(${helper} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${helper} PRIVATE TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}"
    TRIVOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
endforeach()
