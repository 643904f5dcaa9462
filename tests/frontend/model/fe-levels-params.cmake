# The rules behind the levels, tweak and equaliser dialogs.
trivox_add_test(NAME test_fe_levels_eq_params LABELS fe-model fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/levels_eq_params_test.cpp
  LIBS velmo_model)
