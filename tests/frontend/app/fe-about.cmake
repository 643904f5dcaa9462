# The main window's About command.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
velmo_qt_test(NAME test_fe_about_command LABELS fe-skin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/about_command_test.cpp
  LIBS velmo_app)
add_dependencies(test_fe_about_command velmo_skin)
