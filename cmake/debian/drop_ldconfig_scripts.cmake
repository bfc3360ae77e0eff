# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS). CPack
# gives a package with a library under /usr/lib a postinst and a postrm
# that call ldconfig; the library package's ldconfig trigger does that
# already, so they are taken out of it (lintian: maintscript-calls-ldconfig).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "/libtamrix-map[0-9]+_[^/]*\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig-scripts)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
