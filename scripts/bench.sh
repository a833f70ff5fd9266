#!/usr/bin/env bash
# Builds the benchmarks and runs them all, each against its baseline in the
# same run (paired rounds in alternating order). Extra arguments go to both
# programs (for example --rounds 21 or --dir /var/tmp).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_conversion bench_folders >/dev/null
echo "== $(date -u '+%F %T UTC'), load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_conversion" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_folders" "$@"
# The CD site save once more where a virtual disk really lies: on the disk
# (flushes included), not in memory.
QT_QPA_PLATFORM=offscreen "$build/bench/bench_folders" --only save --dir "${BENCH_DISK_DIR:-/var/tmp}" "$@"
