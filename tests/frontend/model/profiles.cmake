# The ini files, the profile ini cache and packed store, the output-profile database.
add_library(velmo_model_test_util STATIC ${CMAKE_CURRENT_LIST_DIR}/model_test_util.cpp)
trivox_warnings(velmo_model_test_util)
target_compile_definitions(velmo_model_test_util PRIVATE
  TRIVOX_STAGE_DIR="${TRIVOX_STAGE_DIR}" TRIVOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
target_include_directories(velmo_model_test_util PUBLIC ${PROJECT_SOURCE_DIR})

trivox_add_test(NAME test_fe_profiles LABELS fe-profiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_file_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/profile_store_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/profile_db_test.cpp
  LIBS velmo_model velmo_model_test_util)
add_dependencies(test_fe_profiles profile_data)
