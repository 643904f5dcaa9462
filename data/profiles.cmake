# The output-profile tree and the codec, muxer and filter descriptions (readable
# sources under profiles/), staged beside the front end as loose files and as
# the packed store formats.dat, with the shipped defaults file default.cfg.
set(PROFILE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/profiles)
file(GLOB_RECURSE PROFILE_SOURCES CONFIGURE_DEPENDS ${PROFILE_SOURCE_DIR}/*)
# The list itself, rewritten only when it changes, so a removed file restages the tree too.
set(PROFILE_SOURCE_LIST ${CMAKE_BINARY_DIR}/profile_sources.txt)
file(CONFIGURE OUTPUT ${PROFILE_SOURCE_LIST} CONTENT "${PROFILE_SOURCES}")
set(PROFILE_FOLDERS tree acodec vcodec muxer filter)
set(PROFILE_OUTPUTS ${TRIVOX_STAGE_DIR}/formats.dat ${TRIVOX_STAGE_DIR}/default.cfg)
set(profile_copy)
foreach(folder ${PROFILE_FOLDERS})
  list(APPEND profile_copy
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TRIVOX_STAGE_DIR}/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROFILE_SOURCE_DIR}/${folder} ${TRIVOX_STAGE_DIR}/${folder})
endforeach()
add_custom_command(
  OUTPUT ${PROFILE_OUTPUTS}
  ${profile_copy}
  COMMAND $<TARGET_FILE:mkformats> pack ${TRIVOX_STAGE_DIR} ${TRIVOX_STAGE_DIR}/formats.dat
  COMMAND $<TARGET_FILE:mkformats> defaults ${TRIVOX_STAGE_DIR} ${PROFILE_SOURCE_DIR}/default.ini
          ${TRIVOX_STAGE_DIR}/default.cfg
  DEPENDS mkformats ${PROFILE_SOURCES} ${PROFILE_SOURCE_LIST} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Staging the profile tree, formats.dat and default.cfg"
  VERBATIM)
add_custom_target(profile_data ALL DEPENDS ${PROFILE_OUTPUTS})
