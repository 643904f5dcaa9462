# The ini files, the profile ini cache and packed store, the output-profile database.
include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
trivox_add_test(NAME test_fe_profiles LABELS fe-profiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_file_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/profile_store_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/profile_db_test.cpp
  LIBS velmo_model velmo_model_test_util)
add_dependencies(test_fe_profiles profile_data)
