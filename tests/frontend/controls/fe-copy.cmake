# The skinned progress bar (band arithmetic, positions, label colours) and the
# folder check tree over temporary folders standing in for volumes.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_copy_controls LABELS fe-copy
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/copy_controls_test.cpp
  LIBS velmo_controls velmo_model_test_util)
