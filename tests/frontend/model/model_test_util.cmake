# Helpers of the front-end model tests; fragments that use them include this file first.
include_guard(GLOBAL)
add_library(velmo_model_test_util STATIC ${CMAKE_CURRENT_LIST_DIR}/model_test_util.cpp)
trivox_warnings(velmo_model_test_util)
target_compile_definitions(velmo_model_test_util PRIVATE
  TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}" TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
target_link_libraries(velmo_model_test_util PUBLIC velmo_model GTest::gtest)

# The lint of a profile tree against the engine's catalogue.
add_library(velmo_profile_lint STATIC ${CMAKE_CURRENT_LIST_DIR}/profile_lint.cpp)
trivox_warnings(velmo_profile_lint)
target_link_libraries(velmo_profile_lint PUBLIC velmo_model trivox_engine)

# A shared object that exports no codec driver entry (the codec-driver and availability tests).
add_library(velmo_test_vfw_no_entry MODULE ${CMAKE_CURRENT_LIST_DIR}/not_a_driver.cpp)
trivox_warnings(velmo_test_vfw_no_entry)
set_target_properties(velmo_test_vfw_no_entry PROPERTIES PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-fixtures/frontend)
