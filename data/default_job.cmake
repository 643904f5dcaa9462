# default_0.dat: the convert job the engine runs for "trivox_free -m test"
# (sample.mp4 beside the engine to an MP3 file).
set(TRIVOX_DEFAULT_JOB ${TRIVOX_STAGE_DIR}/default_0.dat)
add_custom_command(
  OUTPUT ${TRIVOX_DEFAULT_JOB}
  COMMAND $<TARGET_FILE:trivox_job> write convert ${TRIVOX_DEFAULT_JOB}
          --source ${TRIVOX_STAGE_DIR}/sample.mp4
          --output ${TRIVOX_STAGE_DIR}/sample_out.mp3
          --target1 2 --target-value 2048000
          --writer [FFM]MP3 --vcodec NONE
  DEPENDS trivox_job ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Writing default_0.dat"
  VERBATIM)
add_custom_target(trivox_default_job ALL DEPENDS ${TRIVOX_DEFAULT_JOB})
