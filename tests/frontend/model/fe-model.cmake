include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
# The front end's task model: output settings and job building, scale layout,
# output names and the task record.
trivox_add_test(NAME test_fe_model LABELS fe-model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scale_layout_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/output_settings_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/output_names_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/media_info_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/task_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/task_list_test.cpp
  LIBS velmo_model velmo_model_test_util)

include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_fe_model_e2e LABELS fe-model e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/task_e2e_test.cpp
  LIBS trivox_test_util)
add_dependencies(test_fe_model_e2e trivox_free velmo-cli vresize codec_tables_data)
