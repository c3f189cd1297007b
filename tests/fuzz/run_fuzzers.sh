#!/usr/bin/env bash
# Runs every fuzz target for a fixed number of executions (default 10 million) under
# ASan and UBSan, from the checked-in seeds, and prints the figures of each run.
#   tests/fuzz/run_fuzzers.sh [runs] [target...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${BRIMEL_FUZZ_BUILD_DIR:-$here/build-fuzz}
runs=${1:-10000000}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(edid_text edid_file edid_summary infoframe_text status_decode emulator_frames profile cli_args)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DBRIMEL_FUZZ=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}" >/dev/null

status=0
for t in "${targets[@]}"; do
    scratch=$(mktemp -d)
    start=$(date +%s)
    if "$build/tests/fuzz/fuzz_$t" -runs="$runs" -print_final_stats=1 \
        -artifact_prefix="$build/tests/fuzz/$t-" "$scratch" "$here/tests/fuzz/corpus/$t" \
        >"$build/tests/fuzz/$t.log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
    fi
    secs=$(( $(date +%s) - start ))
    done_line=$(grep -E '^Done [0-9]+ runs' "$build/tests/fuzz/$t.log" | tail -1)
    cov=$(grep -E 'stat::|cov:' "$build/tests/fuzz/$t.log" | grep -oE 'cov: [0-9]+' | tail -1)
    echo "$t: $result; ${done_line:-no summary}; $cov; ${secs}s; log $build/tests/fuzz/$t.log"
    rm -rf "$scratch"
done
exit $status
