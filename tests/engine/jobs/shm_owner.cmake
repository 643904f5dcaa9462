include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Ownership of the shared blocks between trivox_ctl and the engine, leftovers swept.
trivox_add_test(NAME test_shm_owner_e2e LABELS shm e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shm_owner_e2e_test.cpp
  LIBS trivox_engine_test_util)
target_compile_definitions(test_shm_owner_e2e PRIVATE SHM_HELPER="$<TARGET_FILE:shm_helper>")
add_dependencies(test_shm_owner_e2e trivox_free trivox_job trivox_ctl codec_tables_data shm_helper)
