trivox_add_test(NAME test_param_list LABELS params
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/param_list_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/param_text_fuzz_test.cpp
  LIBS trivox_common)
# Own process: it switches the process locale.
trivox_add_test(NAME test_param_locale LABELS params
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/param_locale_test.cpp
  LIBS trivox_common)
