# A VERSIONINFO resource for a Windows binary, with the version of
# project(... VERSION) so that the number is written in one place.
#   tamrix_map_version_resource(TARGET DESCRIPTION)
function(tamrix_map_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(tamrix_map_rc_file_type VFT_APP)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  else()
    set(tamrix_map_rc_file_type VFT_DLL)
    set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(tamrix_map_rc_file_name ${output_name}${suffix})
  set(tamrix_map_rc_internal_name ${output_name})
  set(tamrix_map_rc_description "${description}")
  # Windows shows four numbers; the fourth is always 0 here.
  set(tamrix_map_rc_version_commas
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(tamrix_map_rc_version
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(rc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc_file} @ONLY)
  target_sources(${target} PRIVATE ${rc_file})
endfunction()
