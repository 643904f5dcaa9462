include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# A plug-in reader and writer of raw PCM files, kept out of the staged plugin/
# folder: the tests copy it beside their own copy of the engine.
add_library(test_plugin_e2e_media MODULE ${CMAKE_CURRENT_LIST_DIR}/e2e_media_plugin.cpp)
trivox_warnings(test_plugin_e2e_media)
set_target_properties(test_plugin_e2e_media PROPERTIES PREFIX "" OUTPUT_NAME e2e_media
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e-plugins
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_link_options(test_plugin_e2e_media PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
target_link_libraries(test_plugin_e2e_media PRIVATE trivox_plugin_api)

trivox_add_test(NAME test_convert_e2e LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_e2e_test.cpp
  LIBS trivox_engine_test_util)
target_compile_definitions(test_convert_e2e PRIVATE
  TRIVOX_E2E_PLUGIN="$<TARGET_FILE:test_plugin_e2e_media>")
add_dependencies(test_convert_e2e test_plugin_e2e_media trivox_free trivox_job trivox_ctl codec_tables_data)

trivox_add_test(NAME test_job_failure_log LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/job_failure_log_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_job_failure_log trivox_free trivox_job codec_tables_data)

trivox_add_test(NAME test_job_hardening LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/job_hardening_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_job_hardening trivox_free trivox_job trivox_ctl codec_tables_data)

trivox_add_test(NAME test_source_failure LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/source_failure_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_source_failure trivox_free trivox_job codec_tables_data)

trivox_add_test(NAME test_hostile_source LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostile_source_test.cpp
  LIBS trivox_common trivox_test_util)
add_dependencies(test_hostile_source trivox_free trivox_job codec_tables_data)

# Uncompressed pictures their data cannot fill; the timeout catches a job that runs on.
trivox_add_test(NAME test_hostile_picture LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostile_picture_test.cpp
  LIBS trivox_common trivox_test_util TIMEOUT 150)
add_dependencies(test_hostile_picture trivox_free trivox_job codec_tables_data)

trivox_add_test(NAME test_seek LABELS e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/seek_test.cpp
  LIBS trivox_common trivox_test_util TIMEOUT 900)
add_dependencies(test_seek trivox_free trivox_job trivox_ctl codec_tables_data)
