# The range slider (setters, drag arithmetic, release and key messages, its
# drawing) and the time picker, offscreen.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
velmo_qt_test(NAME test_fe_range_slider LABELS fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/range_slider_test.cpp
  LIBS velmo_controls)
