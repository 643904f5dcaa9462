include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)

# A codec driver for the module's mechanics, loaded by path like the real one.
add_library(fake_acm_driver MODULE ${CMAKE_CURRENT_LIST_DIR}/fake_acm_driver.cpp)
trivox_warnings(fake_acm_driver)
target_include_directories(fake_acm_driver PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(fake_acm_driver PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)

trivox_add_test(NAME test_acm_coder LABELS acm
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/acm_coder_test.cpp
  LIBS trivox_engine_test_util trivox_avi_test_writer ${CMAKE_DL_LIBS})
target_compile_definitions(test_acm_coder PRIVATE FAKE_ACM_DRIVER="$<TARGET_FILE:fake_acm_driver>")
add_dependencies(test_acm_coder fake_acm_driver vorbis_acm vresize)

trivox_add_test(NAME test_acm_e2e LABELS acm e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/acm_e2e_test.cpp
  LIBS trivox_engine_test_util trivox_avi_test_writer)
add_dependencies(test_acm_e2e trivox_free trivox_job codec_tables_data vorbis_acm)
