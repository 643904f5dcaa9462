# The main window's file-info commands and its flat menus.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)

velmo_qt_test(NAME test_fe_main_file_info LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_file_info_test.cpp
  LIBS velmo_app velmo_model_test_util)

velmo_qt_test(NAME test_fe_main_menu LABELS fe-controls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_menu_test.cpp
  LIBS velmo_app)
