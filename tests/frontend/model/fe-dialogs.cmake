# The value rules of the option combos and settings dialogs (validator
# messages, keystroke filter, fitting, LIMIT combinations), the output-format
# choice (row figures, summary line, output settings) and the codec driver
# layer over a stand-in driver library.
include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

# The stand-in codec driver (the library that exports no driver entry: model_test_util.cmake).
add_library(velmo_test_vfw_driver MODULE ${CMAKE_CURRENT_LIST_DIR}/fake_vfw_driver.cpp)
trivox_warnings(velmo_test_vfw_driver)
set_target_properties(velmo_test_vfw_driver PROPERTIES PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-fixtures/frontend CXX_VISIBILITY_PRESET hidden)

trivox_add_test(NAME test_fe_option_values LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/option_values_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/output_format_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/vfw_driver_test.cpp
  LIBS velmo_model velmo_model_test_util)
target_compile_definitions(test_fe_option_values PRIVATE
  FAKE_VFW_DRIVER="$<TARGET_FILE:velmo_test_vfw_driver>"
  FAKE_VFW_NO_ENTRY="$<TARGET_FILE:velmo_test_vfw_no_entry>")
add_dependencies(test_fe_option_values velmo_test_vfw_driver velmo_test_vfw_no_entry)

# The crop, resize and pad rules, the resize text, the placeholder bitmap and
# the preview frame job.
trivox_add_test(NAME test_fe_crop_resize_model LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crop_resize_test.cpp
  LIBS velmo_model velmo_model_test_util trivox_test_util)
