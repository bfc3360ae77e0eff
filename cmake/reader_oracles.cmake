# The flex scanner and the bison parser that state the reader's rules, as
# test oracles for reader/map_scanner.cpp and reader/map_parser.h. Never
# part of the library. Each function generates its oracle in the calling
# directory's build tree (include ${CMAKE_CURRENT_BINARY_DIR}/oracle) and
# puts the path of its C++ source into `out_var`.
find_package(FLEX 2.6 REQUIRED)
find_package(BISON 3.0 REQUIRED)

function(tamrix_map_scanner_oracle out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  flex_target(map_scanner_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_scanner_oracle.l
              ${dir}/map_scanner_oracle.cpp)
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${FLEX_map_scanner_oracle_OUTPUTS} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${FLEX_map_scanner_oracle_OUTPUTS} PARENT_SCOPE)
endfunction()

function(tamrix_map_grammar_oracle out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  bison_target(map_grammar_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_grammar_oracle.y
               ${dir}/map_grammar_oracle.cpp
               DEFINES_FILE ${dir}/map_grammar_oracle.h
               COMPILE_FLAGS "-Wall -Werror")
  set_source_files_properties(${BISON_map_grammar_oracle_OUTPUTS} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${BISON_map_grammar_oracle_OUTPUTS} PARENT_SCOPE)
endfunction()
