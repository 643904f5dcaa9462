trivox_add_test(NAME test_platform_types LABELS platform mediatypes
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_types_layout_test.cpp
  LIBS trivox_platform)
trivox_add_test(NAME test_utf_text LABELS platform params
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/utf_text_test.cpp
  LIBS trivox_platform)
