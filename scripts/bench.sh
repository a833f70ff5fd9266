#!/usr/bin/env bash
# Builds the benchmarks and runs them all, each against its baseline in the
# same run (paired rounds in alternating order). Extra arguments go to every
# program (for example --rounds 21). BENCH_DISK_DIR names the folder on a
# disk (default /var/tmp) where the conversion and the site save are measured
# besides memory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_conversion bench_folders bench_aspect >/dev/null
echo "== $(date -u '+%F %T UTC'), load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_conversion" --disk-dir "${BENCH_DISK_DIR:-/var/tmp}" "$@"
# 16:9 set in 1 GiB of clips against read(2) over the same bytes.
"$build/bench/bench_aspect" --clips 4 "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_folders" "$@"
# The CD site save once more where a virtual disk really lies: on the disk
# (flushes included), not in memory.
QT_QPA_PLATFORM=offscreen "$build/bench/bench_folders" --only save --dir "${BENCH_DISK_DIR:-/var/tmp}" "$@"
