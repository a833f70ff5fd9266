#!/usr/bin/env bash
# Builds the fuzzers with clang in ./build-fuzz (or $FUZZ_BUILD_DIR) and runs
# each for the given number of seconds (30 by default) from its seed corpus in
# fuzz/corpus/; the inputs it finds go to build-fuzz/corpus/, never into the
# repository. A broken property or a sanitizer report stops the run, the
# input kept in build-fuzz/crashes/. FUZZ_TARGETS="fuzz_ini ..." picks some.
#   scripts/fuzz.sh 600     # ten minutes each
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${FUZZ_BUILD_DIR:-$here/build-fuzz}
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELMORA_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers
read -r -a targets <<<"${FUZZ_TARGETS:-fuzz_camcorder_name fuzz_ini fuzz_win_path fuzz_ansi fuzz_autorun fuzz_program_stream}"
mkdir -p "$build/crashes"
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in "${targets[@]}"; do
    mkdir -p "$build/corpus/$target"
    echo "== $target: $seconds s"
    "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$target-" \
        "$build/corpus/$target" "$here/fuzz/corpus/$target"
done
