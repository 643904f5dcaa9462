# The conversion progress dialog and the log window over the stand-in engine.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/fe-session.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
add_library(velmo_progress_test_util STATIC ${CMAKE_CURRENT_LIST_DIR}/progress_test_util.cpp)
trivox_warnings(velmo_progress_test_util)
target_link_libraries(velmo_progress_test_util PUBLIC velmo_dialogs)

velmo_qt_test(NAME test_fe_progress LABELS fe-progress fe-ui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_progress_test.cpp
  LIBS velmo_dialogs velmo_progress_test_util velmo_fake_engine_folder velmo_model_test_util)
