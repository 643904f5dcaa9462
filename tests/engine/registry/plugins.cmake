include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Sample plug-ins for the registry tests, built into a folder of their own
# (never the staged plugin/ folder).
set(TRIVOX_TEST_PLUGIN_DIR ${CMAKE_BINARY_DIR}/tests/plugin-api)
set(TRIVOX_TEST_PLUGIN_SRC ${PROJECT_SOURCE_DIR}/tests/plugin-api)
set(TRIVOX_TEST_PLUGINS)
foreach(pair a_sample_media:sample_media_plugin z_second:second_plugin
             c_missing_export:missing_export_plugin d_no_records:no_records_plugin)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 out)
  list(GET pair 1 src)
  add_library(test_plugin_${out} MODULE ${TRIVOX_TEST_PLUGIN_SRC}/${src}.cpp)
  trivox_warnings(test_plugin_${out})
  set_target_properties(test_plugin_${out} PROPERTIES PREFIX "" OUTPUT_NAME ${out}
    LIBRARY_OUTPUT_DIRECTORY ${TRIVOX_TEST_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(test_plugin_${out} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  target_link_libraries(test_plugin_${out} PRIVATE trivox_plugin_api)
  list(APPEND TRIVOX_TEST_PLUGINS test_plugin_${out})
endforeach()

trivox_add_test(NAME test_plugins LABELS plugins
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugins_test.cpp
  LIBS trivox_engine_test_util trivox_registry_test_util)
target_compile_definitions(test_plugins PRIVATE TRIVOX_TEST_PLUGIN_DIR="${TRIVOX_TEST_PLUGIN_DIR}")
add_dependencies(test_plugins ${TRIVOX_TEST_PLUGINS} codec_tables_data trivox_free)
