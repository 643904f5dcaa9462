# What the progress dialog computes and how the front end reads the log ring.
include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
trivox_add_test(NAME test_fe_progress_model LABELS fe-progress fe-model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_progress_test.cpp
  LIBS velmo_model velmo_model_test_util)
