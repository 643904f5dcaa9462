include(${CMAKE_CURRENT_LIST_DIR}/model_test_util.cmake)
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
# Copying finished outputs without a display: the copy with progress and
# cancel, unique names, size texts, disk space, the volume list and the
# portable player's folders and names.
trivox_add_test(NAME test_fe_copy_model LABELS fe-copy
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_copy_test.cpp
  LIBS velmo_model velmo_model_test_util trivox_test_util)
