# The include-layer check itself, on small trees made at test time.
add_test(NAME test_check_layers COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_layers_test.sh)
set_tests_properties(test_check_layers PROPERTIES LABELS layers TIMEOUT 300)

include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_demo_job LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_job_test.cpp
  LIBS trivox_test_util)
add_dependencies(test_demo_job trivox_free dvdscan velmo-cli vresize codec_tables_data sample_dvd)

# README command 1's user build plans no test program.
add_test(NAME test_demo_plan COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/demo_plan_test.sh)
set_tests_properties(test_demo_plan PROPERTIES LABELS layers TIMEOUT 300)
