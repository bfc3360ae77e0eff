# Checks written with pytest (Debian's python3-pytest) as CTest tests:
#
#   tamrix_map_add_pytest(NAME FILE TEST [ENVIRONMENT VAR=VALUE...])
#
# runs the test function TEST of FILE as the CTest test NAME, labelled
# static (the checks read what the build made; they run no program of it),
# with tests/ on the module path for export_table.py. Without an
# interpreter that has pytest they are left out, with a note.
if(NOT DEFINED TAMRIX_MAP_PYTEST_PYTHON)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  set(python_with_pytest "")
  foreach(candidate ${Python3_EXECUTABLE} /usr/bin/python3)
    execute_process(COMMAND ${candidate} -c "import pytest" RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(status EQUAL 0)
      set(python_with_pytest ${candidate})
      break()
    endif()
  endforeach()
  set(TAMRIX_MAP_PYTEST_PYTHON "${python_with_pytest}" CACHE FILEPATH "A Python with pytest, for the static checks")
endif()
if(NOT TAMRIX_MAP_PYTEST_PYTHON)
  message(STATUS "No Python with pytest (python3-pytest): the static checks are left out")
endif()

function(tamrix_map_add_pytest name file test)
  if(NOT TAMRIX_MAP_PYTEST_PYTHON)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "ENVIRONMENT")
  add_test(NAME ${name}
           COMMAND ${TAMRIX_MAP_PYTEST_PYTHON} -m pytest -q -p no:cacheprovider "${file}::${test}")
  set(environment "PYTHONPATH=${PROJECT_SOURCE_DIR}/tests" PYTHONDONTWRITEBYTECODE=1 ${arg_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES LABELS static ENVIRONMENT "${environment}")
endfunction()
