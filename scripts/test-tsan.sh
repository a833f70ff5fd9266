#!/usr/bin/env bash
# Builds the converter's tests with ThreadSanitizer in ./build-tsan (or
# $TSAN_BUILD_DIR) and runs them: the conversion's walk runs on a thread of
# its own beside the window's, and the first race reported fails the run.
# Only these tests: they are the ones with a second thread.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TSAN_BUILD_DIR:-$here/build-tsan}
"$here/scripts/setup-deps.sh"
compilers=()
if command -v clang++ >/dev/null; then
    compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
fi
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
sanitize="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compilers[@]}" "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
tests=(tst_camcordername tst_conversion tst_clipshape tst_conversionrun tst_strovanwindow)
cmake --build "$build" -j"$(nproc)" --target "${tests[@]}"
cd "$build"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/scripts/tsan.supp ${TSAN_OPTIONS:-}"
regex=$(IFS='|'; echo "^(${tests[*]})\$")
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -R "$regex"
