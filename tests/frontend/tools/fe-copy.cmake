# velmo-gallery's copy entries: two converted files copied into a folder with
# progress lines, statuses and a picture mid-copy; the music-library copy on
# this system.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_velmo_gallery_copy LABELS fe-copy tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gallery_copy_test.cpp
  LIBS trivox_test_util velmo_model_test_util Qt6::Widgets)
add_dependencies(test_velmo_gallery_copy velmo-gallery)
