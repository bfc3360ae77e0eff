# Test oracles: the flex scanner that states the scanner's rules, for
# reader/map_scanner.cpp, and a scripted build of the library's grammar.
# Never part of the library. Each function generates its oracle in the calling
# directory's build tree (include ${CMAKE_CURRENT_BINARY_DIR}/oracle) and
# puts the path of its C++ source into `out_var`.
find_package(FLEX 2.6 REQUIRED)  # bison is found by the top-level project

function(tamrix_map_scanner_oracle out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  flex_target(map_scanner_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_scanner_oracle.l
              ${dir}/map_scanner_oracle.cpp)
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${FLEX_map_scanner_oracle_OUTPUTS} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${FLEX_map_scanner_oracle_OUTPUTS} PARENT_SCOPE)
endfunction()

# The library's own grammar, built again under the prefix grammar_script_
# so that a test can feed it token streams of its choosing.
function(tamrix_map_scripted_grammar out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  bison_target(map_grammar_script ${PROJECT_SOURCE_DIR}/reader/map_grammar.y
               ${dir}/map_grammar_script.cpp
               DEFINES_FILE ${dir}/map_grammar_script.h
               COMPILE_FLAGS "-Wall -Werror -Fapi.prefix={grammar_script_}")
  set_source_files_properties(${BISON_map_grammar_script_OUTPUTS} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${BISON_map_grammar_script_OUTPUTS} PARENT_SCOPE)
endfunction()
