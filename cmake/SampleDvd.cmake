# A small sample DVD folder staged beside the programs (stage/sample_dvd), made by
# scripts/make_sample_dvd.sh at build time; without ffmpeg or dvdauthor the build only
# says so.
set(TRIVOX_SAMPLE_DVD ${TRIVOX_STAGE_DIR}/sample_dvd)
add_custom_command(OUTPUT ${TRIVOX_SAMPLE_DVD}/.complete
  COMMAND ${CMAKE_COMMAND} -E env SAMPLE_DVD_OPTIONAL=1
          bash ${PROJECT_SOURCE_DIR}/scripts/make_sample_dvd.sh ${TRIVOX_SAMPLE_DVD}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_sample_dvd.sh ${PROJECT_SOURCE_DIR}/scripts/stamped_outdir.sh
  COMMENT "Making the sample DVD in ${TRIVOX_SAMPLE_DVD}"
  VERBATIM)
add_custom_target(sample_dvd ALL DEPENDS ${TRIVOX_SAMPLE_DVD}/.complete)
