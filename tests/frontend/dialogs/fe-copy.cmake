# Copying results: the copy dialog and its progress window over temporary
# folders standing in for volumes, the completion dialog's follow-ups, the
# music-library copy against a fake library and the PSP transfer against fake
# removable volumes.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_copy_dialogs LABELS fe-copy
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/copy_dialogs_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)
