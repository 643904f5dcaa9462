trivox_add_test(NAME test_acm_layer LABELS acm platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/acm_layer_test.cpp
  LIBS trivox_platform)
