# Release packages made by CPack from the install rules:
#   cpack -G DEB  libtamrix-map1, libtamrix-map-dev and tamrix-map-tools,
#                 one per install component;
#   cpack -G TGZ  tamrix_map-VERSION-Linux-ARCH.tar.gz, the whole installed
#                 tree, which works wherever it is unpacked.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the library lands in
# Debian's multiarch folder.

set(deb_runtime libtamrix-map${PROJECT_VERSION_MAJOR})
set(deb_development libtamrix-map-dev)
set(deb_tools tamrix-map-tools)

# Each package carries the license as a Debian copyright file and the
# changelog, gzipped without a time stamp, under /usr/share/doc/PACKAGE/.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" license_text "${license_text}")  # title, copyright line
string(REGEX REPLACE "\n$" "" license_text "${license_text}")
string(REGEX REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REGEX REPLACE "\n" "\n " tamrix_map_license_paragraph " ${license_text}")
set(debian_doc_dir ${CMAKE_CURRENT_BINARY_DIR}/debian-doc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_doc_dir}/copyright @ONLY)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
add_custom_command(OUTPUT ${debian_doc_dir}/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9nc ${changelog} > ${debian_doc_dir}/changelog.gz
  DEPENDS ${changelog}
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${debian_doc_dir}/changelog.gz)
foreach(component runtime development tools)
  install(FILES ${debian_doc_dir}/copyright ${debian_doc_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${deb_${component}}
          COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME tamrix_map)
set(CPACK_PACKAGE_VENDOR "the tamrix_map authors")
set(CPACK_PACKAGE_CONTACT "tamrix_map authors <maintainers@users.noreply.c-seed-7e55f7a1.example>")
# Left empty so that CPack does not put one summary above every package's
# description: each description's first line is that package's synopsis.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME
    "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL runtime development tools)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE tamrix-map)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)        # libc6, libstdc++6, libgcc-s1
# mapdump's own library is not installed yet: dpkg-shlibdeps finds it in
# the build tree, and the dependency on its package comes from the
# component's DEPENDS.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)  # DEPENDS below: PACKAGE (= VERSION)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${deb_runtime})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg runs ldconfig once after all packages are in; the postinst and
# postrm calling it that CPack writes are taken out again. The symbols file
# lets packages built against the library depend on the version that
# brought the functions they use.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/triggers ${tamrix_map_exports_dir}/symbols)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop_ldconfig_scripts.cmake)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
"library that reads the symbol records of linker map files
tamrix_map reads the symbol lines of a linker map file (a word, ADDR, a
hex address with an H suffix and a name) and hands them to the program
as a list of records through eight C functions.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${deb_development})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
"library that reads linker map files - development files
tamrix_map reads the symbol lines of a linker map file and hands them to
the program as a list of records through eight C functions.
.
This package holds the header tamrix_map.h, the link to the shared
library, a pkg-config file and a CMake package (find_package(tamrix_map)).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${deb_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
"prints, looks up and compares the symbols of linker map files
mapdump reads linker map files through the tamrix_map library and prints
their symbol records as text, CSV or JSON, finds the symbol at or below an
address, and lists the symbols that differ between two map files.")

include(CPack)
