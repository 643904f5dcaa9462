include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
trivox_add_test(NAME test_tags LABELS tags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tag_io_test.cpp
  LIBS trivox_engine_test_util)

trivox_add_test(NAME test_tags_e2e LABELS tags e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tag_e2e_test.cpp
  LIBS trivox_engine trivox_test_util)
add_dependencies(test_tags_e2e trivox_free trivox_job codec_tables_data)
