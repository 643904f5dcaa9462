# The user guide beside the front end, opened by Help > Index and F1.
set(TRIVOX_HELP_FILE ${TRIVOX_STAGE_DIR}/velmo.html)
add_custom_command(
  OUTPUT ${TRIVOX_HELP_FILE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/help/velmo.html ${TRIVOX_HELP_FILE}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/help/velmo.html
  COMMENT "Staging the user guide"
  VERBATIM)
add_custom_target(help_data ALL DEPENDS ${TRIVOX_HELP_FILE})
