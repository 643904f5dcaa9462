# The theme wrappers without a theme library and the classic parts drawn in
# their place.
include(${CMAKE_CURRENT_LIST_DIR}/qt_test.cmake)

velmo_qt_test(NAME test_fe_theme LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/theme_test.cpp
  LIBS velmo_ui)
