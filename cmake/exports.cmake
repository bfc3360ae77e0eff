# The files made from the export table, api/exports.txt, at configure time
# into ${CMAKE_BINARY_DIR}/exports/:
#   exports.map              the linker version script: these names, nothing else
#   tamrix_map.def           the DLL's names and ordinals
#   tamrix_map_stdcall.def   the same with the stdcall argument sizes, which
#                            the 32-bit DLL is linked from (windows_dll.cmake)
#   symbols                  the Debian symbols file of libtamrix-map1
#   tamrix_map_exports.h     TAMRIX_MAP_EXPORTS(ROW): ROW(ordinal, name, bytes)
#                            for each, for the Windows tests
# tamrix_map_export_table holds the table's path for the checks, and
# tamrix_map_export_names the names in the order of their ordinals.
set(tamrix_map_export_table ${PROJECT_SOURCE_DIR}/api/exports.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tamrix_map_export_table})
set(tamrix_map_exports_dir ${CMAKE_BINARY_DIR}/exports)

file(STRINGS ${tamrix_map_export_table} export_lines REGEX "^[^#]")
set(version_script "{\n  global:\n")
set(def "LIBRARY tamrix_map.dll\nEXPORTS\n")
set(stdcall_def "LIBRARY tamrix_map.dll\nEXPORTS\n")
string(CONCAT symbols "libtamrix_map.so.${PROJECT_VERSION_MAJOR} libtamrix-map${PROJECT_VERSION_MAJOR} #MINVER#\n"
                      "* Build-Depends-Package: libtamrix-map-dev\n")
set(rows "")
set(expected_ordinal 1)
foreach(line IN LISTS export_lines)
  if(NOT line MATCHES "^([0-9]+) ([A-Za-z_][A-Za-z0-9_]*) ([0-9]+)$")
    message(FATAL_ERROR "${tamrix_map_export_table}: not 'ORDINAL NAME BYTES': ${line}")
  endif()
  set(ordinal ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  set(bytes ${CMAKE_MATCH_3})
  if(NOT ordinal EQUAL expected_ordinal)
    message(FATAL_ERROR "${tamrix_map_export_table}: ${name} has ordinal ${ordinal}, not ${expected_ordinal}")
  endif()
  math(EXPR expected_ordinal "${ordinal} + 1")
  string(APPEND version_script "    ${name};\n")
  string(APPEND def "    ${name} @${ordinal}\n")
  string(APPEND stdcall_def "    ${name}@${bytes} @${ordinal}\n")
  list(APPEND symbol_lines " ${name}@Base ${PROJECT_VERSION}")
  string(APPEND rows " \\\n    ROW(${ordinal}, ${name}, ${bytes})")
  list(APPEND tamrix_map_export_names ${name})
endforeach()
# dpkg-gensymbols wants the symbols sorted.
list(SORT symbol_lines)
list(JOIN symbol_lines "\n" symbol_lines)
string(APPEND symbols "${symbol_lines}\n")
string(APPEND version_script "  local:\n    *;\n};\n")
string(CONCAT header "/* Made by cmake/exports.cmake from api/exports.txt: the library's exports. */\n"
                     "#define TAMRIX_MAP_EXPORTS(ROW)${rows}\n")

# Rewritten only when the text changes, so that nothing relinks for nothing.
function(tamrix_map_write_export_file name content)
  set(path ${tamrix_map_exports_dir}/${name})
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${path} "${content}")
endfunction()
tamrix_map_write_export_file(exports.map "${version_script}")
tamrix_map_write_export_file(tamrix_map.def "${def}")
tamrix_map_write_export_file(tamrix_map_stdcall.def "${stdcall_def}")
tamrix_map_write_export_file(symbols "${symbols}")
tamrix_map_write_export_file(tamrix_map_exports.h "${header}")
set(tamrix_map_version_script ${tamrix_map_exports_dir}/exports.map)
