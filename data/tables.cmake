# The codec and muxer tables, generated from their readable sources.
set(TRIVOX_TABLE_FILES ${TRIVOX_STAGE_DIR}/vfcc.dat ${TRIVOX_STAGE_DIR}/muxer.dat)
add_custom_command(
  OUTPUT ${TRIVOX_TABLE_FILES}
  COMMAND $<TARGET_FILE:mktables> ${CMAKE_CURRENT_LIST_DIR}/vfcc.txt ${CMAKE_CURRENT_LIST_DIR}/muxer.txt ${TRIVOX_STAGE_DIR}
  DEPENDS mktables ${CMAKE_CURRENT_LIST_DIR}/vfcc.txt ${CMAKE_CURRENT_LIST_DIR}/muxer.txt
  COMMENT "Generating vfcc.dat and muxer.dat"
  VERBATIM)
add_custom_target(codec_tables_data ALL DEPENDS ${TRIVOX_TABLE_FILES})
