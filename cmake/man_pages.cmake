# Manual pages, installed gzipped: tamrix_map(3) for the C interface and
# mapdump(1), which help2man makes from `mapdump --help` at build time, so
# that the page says what the program says. A build without help2man (or
# a cross build, which cannot run mapdump) makes tamrix_map(3) only.

# Both pages are dated with the release, the date of the newest changelog
# entry: " -- NAME <MAIL>  Wed, 09 Dec 2026 03:00:00 +0000".
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT changelog_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "cmake/debian/changelog: no date in '${changelog_trailer}'")
endif()
set(release_day ${CMAKE_MATCH_1})
set(release_year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} release_month)
math(EXPR release_month "${release_month} + 1" OUTPUT_FORMAT DECIMAL)
if(release_month LESS 10)
  set(release_month 0${release_month})
endif()
set(tamrix_map_release_date ${release_year}-${release_month}-${release_day})

set(man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/man/tamrix_map.3 ${man_dir}/tamrix_map.3 @ONLY)
set(man_pages ${man_dir}/tamrix_map.3)

find_program(HELP2MAN_EXECUTABLE help2man)
if(TARGET mapdump AND HELP2MAN_EXECUTABLE AND NOT CMAKE_CROSSCOMPILING)
  add_custom_command(OUTPUT ${man_dir}/mapdump.1
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN_EXECUTABLE} -DPROGRAM=$<TARGET_FILE:mapdump>
            -DINCLUDE=${PROJECT_SOURCE_DIR}/man/mapdump.h2m -DVERSION=${PROJECT_VERSION}
            -DDATE=${tamrix_map_release_date} -DOUTPUT=${man_dir}/mapdump.1
            -P ${CMAKE_CURRENT_LIST_DIR}/help2man_page.cmake
    DEPENDS mapdump ${PROJECT_SOURCE_DIR}/man/mapdump.h2m ${CMAKE_CURRENT_LIST_DIR}/help2man_page.cmake
    VERBATIM)
  list(APPEND man_pages ${man_dir}/mapdump.1)
elseif(TARGET mapdump)
  message(STATUS "No help2man, or a cross build: mapdump(1) is not made")
endif()

set(man_pages_gz)
foreach(page IN LISTS man_pages)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${GZIP_EXECUTABLE} -9nc ${page} > ${page}.gz
    DEPENDS ${page}
    VERBATIM)
  list(APPEND man_pages_gz ${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages_gz})

install(FILES ${man_dir}/tamrix_map.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
if(${man_dir}/mapdump.1 IN_LIST man_pages)
  install(FILES ${man_dir}/mapdump.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()
