trivox_add_test(NAME test_run_loop LABELS runloop
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_loop_test.cpp
  LIBS trivox_engine)
