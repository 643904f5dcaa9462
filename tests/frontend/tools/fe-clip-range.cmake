# velmo-gallery clip-range: the clip range dialog from the command line.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_velmo_gallery_clip_range LABELS fe-dialogs tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/clip_range_gallery_test.cpp
  LIBS trivox_test_util Qt6::Widgets)
add_dependencies(test_velmo_gallery_clip_range velmo-gallery)
