# The preview player's button pictures, drawn by mkplayer into resource/.
set(TRIVOX_SKIN_NAMES playnormal playnormal_over playnormal_disable playpause playpause_over
  playstop playstop_over playstop_disable playcap playcap_over playcap_disable
  playopen playopen_over playopen_disable playaudio playaudio_over playnoaudio playnoaudio_over)
set(TRIVOX_SKIN_FILES "")
foreach(n ${TRIVOX_SKIN_NAMES})
  list(APPEND TRIVOX_SKIN_FILES ${TRIVOX_STAGE_DIR}/resource/${n}.png)
endforeach()
add_custom_command(
  OUTPUT ${TRIVOX_SKIN_FILES}
  COMMAND ${TRIVOX_QT_TOOL_ENV} $<TARGET_FILE:mkplayer> ${TRIVOX_STAGE_DIR}/resource
  DEPENDS mkplayer
  COMMENT "Drawing the player buttons' pictures"
  VERBATIM)
add_custom_target(player_skin_data ALL DEPENDS ${TRIVOX_SKIN_FILES})
