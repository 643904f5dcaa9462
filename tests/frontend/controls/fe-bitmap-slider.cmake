# The bitmap slider over the pictures mkbitmaps draws.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_bitmap_slider LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bitmap_slider_test.cpp
  LIBS velmo_controls)
add_dependencies(test_fe_bitmap_slider resource_bitmaps)
