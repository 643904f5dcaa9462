# The shipped profile tree: the lint against the engine's catalogue, and every
# profile converted end to end by the staged engine.
include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_fe_profile_lint LABELS fe-data
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_lint_test.cpp
  LIBS velmo_profile_lint velmo_model_test_util)
add_dependencies(test_fe_profile_lint profile_data codec_tables_data vresize vsubtitle mpeg4enc)
trivox_add_test(NAME test_fe_profile_e2e LABELS fe-data e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_e2e_test.cpp
  LIBS velmo_profile_lint trivox_engine_test_util
  TIMEOUT 1200)
add_dependencies(test_fe_profile_e2e profile_data codec_tables_data trivox_free trivox_job vresize mpeg4enc)
