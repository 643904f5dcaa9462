# The About box on the staged skin, and velmo-gallery's about entry.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

velmo_qt_test(NAME test_fe_about LABELS fe-skin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/about_dialog_test.cpp
  LIBS velmo_dialogs trivox_test_util)
add_dependencies(test_fe_about velmo_skin velmo-gallery)
