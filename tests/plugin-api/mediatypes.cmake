trivox_add_test(NAME test_media_type_helpers LABELS mediatypes
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_type_helpers_test.cpp
  LIBS trivox_plugin_api)
