#!/usr/bin/env bash
# Runs the unit, command-line and GUI test programs of a build under valgrind's memcheck: any memory
# error or definite leak fails the run. tests/valgrind.supp holds the suppressions of
# allocations that are not ours.
#   tests/memcheck.sh [build folder]    (default: build/)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build}
logs=$build/memcheck
mkdir -p "$logs"
export QT_QPA_PLATFORM=offscreen

programs=("$build/tests/brimel_unit_tests" "$build/tests/cli/brimel_cli_tests")
for p in "$build"/tests/gui/*test; do [ -x "$p" ] && programs+=("$p"); done

status=0
for p in "${programs[@]}"; do
    name=$(basename "$p")
    valgrind -q --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
        --error-exitcode=9 --num-callers=40 --suppressions="$here/tests/valgrind.supp" \
        "$p" >"$logs/$name.out" 2>"$logs/$name.err"
    rc=$?
    if [ $rc -eq 0 ]; then
        echo "$name: clean"
    else
        echo "$name: FAILED (exit $rc; $logs/$name.err)"
        status=1
    fi
done
exit $status
