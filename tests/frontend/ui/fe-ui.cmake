# The front end's Qt layer: dialog units and templates, items, commands,
# timers, messages, message boxes, modal loops, Enter and Esc; the example
# dialog later dialogs copy.
include(${CMAKE_CURRENT_LIST_DIR}/qt_test.cmake)

velmo_qt_test(NAME test_fe_ui LABELS fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_layer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/example_dialog.cpp
  LIBS velmo_ui)
