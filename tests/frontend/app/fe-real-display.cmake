# velmo on its own Xvfb display with openbox, driven by xdotool: each window it
# opens from the main window pictured into test-artifacts/real_display, and a
# DVD fixture converted with Start up to the completion dialog. Needs velmo,
# trivox_free, mpeg4enc and velmo's data staged (a whole-tree build).
string(MD5 real_display_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${real_display_hash}" 0 8 real_display_hash)
add_test(NAME test_fe_real_display
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/real_display_test.sh ${TRIVOX_STAGE_DIR} ${CMAKE_BINARY_DIR}/fixtures/dvd
          ${CMAKE_BINARY_DIR}/test-artifacts/real_display)
set_tests_properties(test_fe_real_display PROPERTIES
  LABELS "fe-real-display;e2e" FIXTURES_REQUIRED dvd_fixtures TIMEOUT 300
  ENVIRONMENT "TRIVOX_SHM_NAMESPACE=trivox-test-${real_display_hash}-test_fe_real_display;TRIVOX_STAGE_DIR=${TRIVOX_STAGE_DIR}")
