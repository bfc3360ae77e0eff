# The library's layers, lowest first: core/, records/, reader/, api/. Each
# is an object library of its own folder, whose headers only that folder's
# code sees PRIVATE; the folders of the layers below it are PUBLIC, so that
# a layer and those above it reach down, and an #include that runs back up
# fails to compile. The public header (include/) declares what every layer
# implements and includes nothing of ours: it is on every layer's path.
#
#   tamrix_map_add_layer(NAME SOURCES file... [BELOW layer...])
#
# BELOW names every layer under NAME. A MinGW build makes a twin of each
# layer, tamrix_map_NAME_dll, for the DLL: windows_dll.cmake compiles the
# DLL with other compilers than the test programs.

# Position-independent unless a toolchain file says otherwise
# (cmake/linux-i686.cmake, which compiles as the DLL is compiled).
if(NOT DEFINED TAMRIX_MAP_POSITION_INDEPENDENT)
  set(TAMRIX_MAP_POSITION_INDEPENDENT ON)
endif()

set(tamrix_map_layer_flavours "")
if(MINGW)
  list(APPEND tamrix_map_layer_flavours _dll)
endif()

# Compiles and links `target` with the win32 thread model's compilers, as
# the DLL is built (windows_dll.cmake says why).
function(tamrix_map_win32_threads target)
  set(launcher ${PROJECT_SOURCE_DIR}/cmake/mingw-win32-threads.sh)
  set_target_properties(${target} PROPERTIES
    C_COMPILER_LAUNCHER ${launcher}
    CXX_COMPILER_LAUNCHER ${launcher}
    CXX_LINKER_LAUNCHER ${launcher})
endfunction()

function(tamrix_map_add_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;BELOW")
  foreach(flavour "" ${tamrix_map_layer_flavours})
    set(target tamrix_map_${layer}${flavour})
    add_library(${target} OBJECT ${arg_SOURCES})
    target_include_directories(${target}
      PRIVATE ${PROJECT_SOURCE_DIR}/${layer}
      PUBLIC ${PROJECT_SOURCE_DIR}/include)
    foreach(below IN LISTS arg_BELOW)
      target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/${below})
    endforeach()
    target_compile_definitions(${target} PRIVATE TAMRIX_MAP_BUILDING)
    set_target_properties(${target} PROPERTIES
      POSITION_INDEPENDENT_CODE ${TAMRIX_MAP_POSITION_INDEPENDENT}
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
    tamrix_map_warnings(${target})
    if(flavour STREQUAL "_dll")
      tamrix_map_win32_threads(${target})
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY tamrix_map_layers ${layer})
endfunction()

# The objects of every layer, in `out_var`; with `flavour` _dll, those of
# the DLL's twins.
function(tamrix_map_layer_objects out_var flavour)
  get_property(layers GLOBAL PROPERTY tamrix_map_layers)
  set(objects "")
  foreach(layer IN LISTS layers)
    list(APPEND objects $<TARGET_OBJECTS:tamrix_map_${layer}${flavour}>)
  endforeach()
  set(${out_var} ${objects} PARENT_SCOPE)
endfunction()
