# What the main window asks of the model: DVD drives from the system's files,
# track lines and the choices over a title's tasks.
include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
trivox_add_test(NAME test_fe_mainwin_model LABELS fe-mainwin fe-model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_model_test.cpp
  LIBS velmo_model velmo_model_test_util)
