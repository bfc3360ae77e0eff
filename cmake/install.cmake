# cmake --install: the library with its SONAME links (on Windows the DLL
# and its import libraries), the header, mapdump, a CMake package
# (find_package(tamrix_map) gives tamrix_map::tamrix_map) and a pkg-config
# file.
include(CMakePackageConfigHelpers)

set(tamrix_map_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tamrix_map)

# Three components, the way Debian splits a library: the run-time library
# (with its SONAME link), what building against it needs, and mapdump.
install(TARGETS tamrix_map EXPORT tamrix_map-targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
          NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(WIN32)
  # For hosts linked the MSVC way, and for those that load the DLL at run
  # time: the import library and the names with their ordinals.
  install(FILES $<TARGET_LINKER_FILE_DIR:tamrix_map>/tamrix_map.lib
                ${tamrix_map_exports_dir}/tamrix_map.def
          DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endif()
if(TARGET mapdump)
  install(TARGETS mapdump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

if(WIN32)
  # The imported target is written by hand: its import library is chosen
  # when a host's project finds the package, by that project's toolchain.
  configure_package_config_file(
    ${CMAKE_CURRENT_LIST_DIR}/windows/tamrix_map-config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map-config.cmake
    INSTALL_DESTINATION ${tamrix_map_cmake_dir}
    PATH_VARS CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
else()
  install(EXPORT tamrix_map-targets
    NAMESPACE tamrix_map::
    DESTINATION ${tamrix_map_cmake_dir}
    COMPONENT development)
  configure_package_config_file(
    ${CMAKE_CURRENT_LIST_DIR}/tamrix_map-config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map-config.cmake
    INSTALL_DESTINATION ${tamrix_map_cmake_dir})
endif()
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map-config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map-config-version.cmake
  DESTINATION ${tamrix_map_cmake_dir}
  COMPONENT development)

# The .pc file finds the prefix from its own place, so that an installed
# tree still works after it is moved (or installed with --prefix).
set(tamrix_map_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH tamrix_map_pc_prefix /prefix/${tamrix_map_pc_dir} /prefix)
string(REGEX REPLACE "/$" "" tamrix_map_pc_prefix "${tamrix_map_pc_prefix}")
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(tamrix_map_pc_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(tamrix_map_pc_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tamrix_map.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tamrix_map.pc DESTINATION ${tamrix_map_pc_dir}
  COMPONENT development)
