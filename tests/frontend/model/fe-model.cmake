include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# The front end's task model: output settings and job building, scale layout,
# output names and the task record.
trivox_add_test(NAME test_fe_model LABELS fe-model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scale_layout_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/output_settings_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/output_names_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/media_info_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/task_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/task_list_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/dvd_titles_test.cpp
  LIBS velmo_model velmo_model_test_util trivox_test_util)

trivox_add_test(NAME test_fe_model_e2e LABELS fe-model e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/task_e2e_test.cpp
  LIBS trivox_test_util)
add_dependencies(test_fe_model_e2e trivox_free velmo-cli vresize codec_tables_data)

# DVD titles into tasks on the DVD fixtures (dvd_fixtures, made by the DVD scan
# group) and on a disc with more chapters and streams than the scan tables hold.
add_test(NAME fe_dvd_many_fixture
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_dvd_many_fixture.sh ${CMAKE_BINARY_DIR}/fixtures/dvd-many)
set_tests_properties(fe_dvd_many_fixture PROPERTIES
  FIXTURES_SETUP dvd_many_fixture SKIP_RETURN_CODE 77 LABELS fe-model TIMEOUT 600)

trivox_add_test(NAME test_fe_dvd_scan LABELS fe-model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_scan_fixture_test.cpp
  LIBS velmo_model velmo_model_test_util)
set_tests_properties(test_fe_dvd_scan PROPERTIES FIXTURES_REQUIRED "dvd_fixtures;dvd_many_fixture")
add_dependencies(test_fe_dvd_scan codec_tables_data)

trivox_add_test(NAME test_fe_dvd_e2e LABELS fe-model e2e TIMEOUT 900
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvd_e2e_test.cpp
  LIBS velmo_model velmo_model_test_util trivox_test_util)
set_tests_properties(test_fe_dvd_e2e PROPERTIES FIXTURES_REQUIRED "dvd_fixtures;dvd_many_fixture")
add_dependencies(test_fe_dvd_e2e trivox_free vresize codec_tables_data profile_data)
