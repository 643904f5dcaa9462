# The image button: pictures from the skin folder, size, hover, press, disabled look.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
velmo_qt_test(NAME test_fe_image_button LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_button_test.cpp
  LIBS velmo_controls)
