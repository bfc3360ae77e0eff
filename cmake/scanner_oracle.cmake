# The flex scanner that states the scanner's rules, as a test oracle for
# reader/map_scanner.cpp. Never part of the library.
find_package(FLEX 2.6 REQUIRED)

# Generates the oracle in the calling directory's build tree and puts the
# path of its C++ source into `out_var`.
function(tamrix_map_scanner_oracle out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  flex_target(map_scanner_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_scanner_oracle.l
              ${dir}/map_scanner_oracle.cpp)
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${FLEX_map_scanner_oracle_OUTPUTS} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${FLEX_map_scanner_oracle_OUTPUTS} PARENT_SCOPE)
endfunction()
