# The stage summary's records, sourced by the stage scripts. scripts/test-all.sh
# sets TAMRIX_MAP_RESULTS to a folder of its own for each stage; a script
# run by itself records nothing.

# ctest_results NAME: ctest's option that writes the run's results there.
ctest_results() {
    [ -z "${TAMRIX_MAP_RESULTS:-}" ] || echo "--output-junit $TAMRIX_MAP_RESULTS/$1.xml"
}

# pytest_results NAME: the same for pytest.
pytest_results() {
    [ -z "${TAMRIX_MAP_RESULTS:-}" ] || echo "--junitxml=$TAMRIX_MAP_RESULTS/$1.xml"
}

# check NAME COMMAND [ARG...]: runs a check that is no CTest or pytest
# test, records whether it passed, and returns its status.
check() {
    local name=$1 status=0
    shift
    "$@" || status=$?
    if [ -n "${TAMRIX_MAP_RESULTS:-}" ]; then
        mkdir -p "$TAMRIX_MAP_RESULTS"
        echo "$([ "$status" = 0 ] && echo passed || echo failed) $name" >>"$TAMRIX_MAP_RESULTS/checks.txt"
    fi
    return "$status"
}
