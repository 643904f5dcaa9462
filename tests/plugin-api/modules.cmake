trivox_add_test(NAME test_media_module LABELS modules core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_module_test.cpp
  LIBS trivox_plugin_api)
