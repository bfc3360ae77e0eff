# cmake -P: makes mapdump(1) from `mapdump --help` with help2man, dated
# with the release (help2man would write the month of the build, which
# mandoc cannot read as a date).
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --version-string=${VERSION} --include=${INCLUDE}
          "--source=tamrix_map ${VERSION}" "--manual=User Commands" ${PROGRAM}
  OUTPUT_VARIABLE page
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man ${PROGRAM} failed: ${result}")
endif()
string(REGEX REPLACE "\n\\.TH MAPDUMP \"1\" \"[^\"]*\"" "\n.TH MAPDUMP \"1\" \"${DATE}\"" page "${page}")
file(WRITE ${OUTPUT} "${page}")
