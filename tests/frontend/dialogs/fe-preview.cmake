# The preview panel over a fake engine session (a control block in memory):
# play, pause, seek, stop, snapshots, mute and the refusals; the play job and
# snapshot arithmetic of the model.
include(${PROJECT_SOURCE_DIR}/tests/frontend/ui/qt_test.cmake)
include(${PROJECT_SOURCE_DIR}/tests/frontend/model/model_test_util.cmake)
velmo_qt_test(NAME test_fe_preview_panel LABELS fe-dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_dialog_test.cpp
  LIBS velmo_dialogs velmo_model_test_util)
add_dependencies(test_fe_preview_panel player_skin_data resource_bitmaps)

# The panel with the real engine: a 3-s clip played, a seek, a snapshot; a
# watermarked clip against its conversion.
include(${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cmake)
velmo_qt_test(NAME test_fe_preview_panel_e2e LABELS fe-dialogs e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_e2e_test.cpp
  LIBS velmo_dialogs velmo_model_test_util trivox_test_util)
add_dependencies(test_fe_preview_panel_e2e trivox_free trivox_job vresize codec_tables_data player_skin_data resource_bitmaps)
# The panel plays in real time: it runs alone, like the engine's play tests.
set_tests_properties(test_fe_preview_panel_e2e PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
