# The front end's Qt layer: dialog units and templates, items, commands,
# timers, messages, message boxes, modal loops, Enter and Esc; the example
# dialog later dialogs copy.
include(${CMAKE_CURRENT_LIST_DIR}/qt_test.cmake)

velmo_qt_test(NAME test_fe_ui LABELS fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_layer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/example_dialog.cpp
          ${CMAKE_CURRENT_LIST_DIR}/qt_text_test.cpp
  LIBS velmo_ui)

# Drawing helpers and pictures (colour arithmetic, off-screen drawing, painter
# selectors, hatch, picture reading and writing), with the controls built on them.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_drawing LABELS fe-ui fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/drawing_test.cpp
  LIBS velmo_ui trivox_test_util)
