# The application: settings, user folders, registry files, codec availability,
# velmo's start-up as a process, and the main frame drawn offscreen.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)

# Two stand-in codec libraries: one exporting the driver entry, one not (model_test_util.cmake).
add_library(velmo_test_vp6_driver MODULE ${CMAKE_CURRENT_LIST_DIR}/vp6_driver_fixture.cpp)
set_target_properties(velmo_test_vp6_driver PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-fixtures/frontend)

velmo_qt_test(NAME test_fe_app LABELS fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_test.cpp
  LIBS velmo_app trivox_test_util)
target_compile_definitions(test_fe_app PRIVATE
  VP6_DRIVER_SO="$<TARGET_FILE:velmo_test_vp6_driver>"
  VP6_PLAIN_SO="$<TARGET_FILE:velmo_test_vfw_no_entry>")
add_dependencies(test_fe_app velmo velmo_test_vp6_driver velmo_test_vfw_no_entry codec_tables_data)
