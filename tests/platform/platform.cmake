trivox_add_test(NAME test_platform_types LABELS platform mediatypes
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_types_layout_test.cpp
  LIBS trivox_platform)
