# cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=v -DOUT=file -P make_man_page.cmake
# A manual page from a program's --help: the help text as the page's description.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${NAME} --help failed (${status})")
endif()
# roff: backslashes escaped, lines starting with a control character protected.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" upper)
file(WRITE ${OUT}
".TH ${upper} 1 \"\" \"trivox ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}.fi
.SH SEE ALSO
velmo(1), trivox_free(1)
")
