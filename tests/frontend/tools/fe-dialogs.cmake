# velmo-gallery over the staged profile descriptions: the "Advance settings"
# dialog's screenshot kept as an artifact, values typed and picked, usage.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_velmo_gallery LABELS fe-dialogs tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/velmo_gallery_test.cpp
  LIBS trivox_test_util Qt6::Widgets)
add_dependencies(test_velmo_gallery velmo-gallery profile_data)
