# The tests whose own program starts threads of our code: the thread-sanitizer tree builds and
# runs these (label "threads"); the programs they run are covered by the tests of the code those
# programs run. `bash scripts/thread_census.sh build/asan` lists them from a test run; keep this
# list in step with it when tests are added.
set(TRIVOX_THREAD_TESTS
  test_acm_coder
  test_audio_out
  test_dshow_bridge
  test_dshow_coder
  test_dshow_layer
  test_dshow_reader
  test_dvd_reader
  test_dvd_source
  test_fe_clip_range
  test_fe_clip_range_e2e
  test_fe_copy_dialogs
  test_fe_crop_resize
  test_fe_crop_resize_e2e
  test_fe_dialogs_session
  test_fe_mainwin_trim
  test_fe_preview_panel
  test_fe_session
  test_fe_ui
  test_fe_watermark
  test_ffm_reader
  test_ffm_writer
  test_graph
  test_logring
  test_media_module
  test_mem_allocator
  test_mpeg4_plugin
  test_passthru
  test_preview_player
  test_preview_surface
  test_queues
  test_result_channel
  test_run_loop
  test_shm
  test_wm_writer
  test_xqueue
)
