include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
# Starting a run: output folder, taking-part tasks, merge and stream-copy
# rules, frame-rate records, results.
trivox_add_test(NAME test_fe_convert_model LABELS fe-convert
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_now_test.cpp
  LIBS velmo_model velmo_model_test_util)
add_dependencies(test_fe_convert_model profile_data)
