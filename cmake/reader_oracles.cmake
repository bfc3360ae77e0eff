# The flex scanner and the bison parser that state the reader's rules, as
# test oracles for reader/map_scanner.cpp and reader/map_parser.h. Never
# part of the library.
find_package(FLEX 2.6 REQUIRED)
find_package(BISON 3.0 REQUIRED)

# Generates the oracles in the calling directory's build tree and puts the
# paths of their C++ sources into `out_var`.
function(tamrix_map_reader_oracles out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  file(MAKE_DIRECTORY ${dir})
  flex_target(map_scanner_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_scanner_oracle.l
              ${dir}/map_scanner_oracle.cpp)
  bison_target(map_grammar_oracle ${PROJECT_SOURCE_DIR}/tests/oracle/map_grammar_oracle.y
               ${dir}/map_grammar_oracle.cpp
               DEFINES_FILE ${dir}/map_grammar_oracle.h
               COMPILE_FLAGS "-Wall -Werror")
  set(sources ${FLEX_map_scanner_oracle_OUTPUTS} ${BISON_map_grammar_oracle_OUTPUTS})
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${sources} PARENT_SCOPE)
endfunction()
