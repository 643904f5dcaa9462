# Manual pages made at build time from each installed program's --help (share/man/man1).
set(TRIVOX_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(TRIVOX_MAN_PROGRAMS
  "trivox_free|the DVD and media conversion engine"
  "trivox_job|write a job record file from options, or dump one as text"
  "trivox_ctl|control a running engine job"
  "dvdscan|list the titles, chapters and streams of a DVD"
  "dvdcat|write a DVD chapter range's program stream to standard output"
  "velmo|the DVD and media converter's windowed front end"
  "velmo-cli|the front end's task model as commands")
set(pages)
foreach(entry ${TRIVOX_MAN_PROGRAMS})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 program)
  list(GET parts 1 summary)
  set(page ${TRIVOX_MAN_DIR}/${program}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TRIVOX_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program} "-DSUMMARY=${summary}"
            -DVERSION=${PROJECT_VERSION} -DOUT=${page} -P ${PROJECT_SOURCE_DIR}/cmake/make_man_page.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/make_man_page.cmake
    COMMENT "Manual page of ${program}"
    VERBATIM)
  list(APPEND pages ${page})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
