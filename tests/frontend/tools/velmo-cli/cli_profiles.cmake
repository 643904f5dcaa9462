include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_velmo_cli_profiles LABELS fe-profiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_profiles_test.cpp
  LIBS trivox_test_util velmo_model)
add_dependencies(test_velmo_cli_profiles velmo-cli profile_data)
