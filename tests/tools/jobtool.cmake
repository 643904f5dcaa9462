include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_trivox_job LABELS serial tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/trivox_job_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_trivox_job trivox_job)
trivox_add_test(NAME test_tool_usage LABELS tools
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tool_usage_test.cpp
  LIBS trivox_test_util)
add_dependencies(test_tool_usage trivox_free trivox_job trivox_ctl dvdscan dvdcat modrun mktables mkformats velmo
  velmo-cli)
