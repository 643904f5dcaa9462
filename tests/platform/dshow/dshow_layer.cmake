trivox_add_test(NAME test_dshow_layer LABELS dshow_layer platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dshow_layer_test.cpp
  LIBS trivox_platform_dshow
  TIMEOUT 120)
