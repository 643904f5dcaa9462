# The staged pictures every window loads, with a contact sheet, and the main
# window showing them.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
velmo_qt_test(NAME test_fe_pictures LABELS fe-ui fe-mainwin
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/staged_pictures_test.cpp
  LIBS velmo_app)
add_dependencies(test_fe_pictures resource_bitmaps velmo_skin tree_pictures profile_data player_skin_data
  codec_tables_data)
