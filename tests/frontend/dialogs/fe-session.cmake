# The media-scan dialog over the stand-in engine, and the file dialogs.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/fe-session.cmake)
velmo_qt_test(NAME test_fe_dialogs_session LABELS fe-session fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_scan_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/file_dialogs_test.cpp
  LIBS velmo_dialogs velmo_fake_engine_folder)
