# The front end's controls: check-box tree, column tree, check-box pictures,
# hover button, colour picker.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)

velmo_qt_test(NAME test_fe_controls LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/colour_picker_test.cpp
  LIBS velmo_controls)
