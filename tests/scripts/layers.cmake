# The include-layer check itself, on small trees made at test time.
add_test(NAME test_check_layers COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_layers_test.sh)
set_tests_properties(test_check_layers PROPERTIES LABELS layers TIMEOUT 60)
