#!/usr/bin/env bash
# Builds the suite and runs every test (GUI tests on the offscreen platform).
#   scripts/test.sh             # in ./build (or $BUILD_DIR)
#   scripts/test.sh --package   # in the build that then makes the Debian
#                               # package, which is made and checked too
#                               # (CI: one build for both)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
    --package) exec "$here/scripts/package.sh" --with-tests ;;
    "") ;;
    *)
        echo "Usage : $0 [--package]" >&2
        exit 2
        ;;
esac
"$here/scripts/setup-deps.sh"
"$here/scripts/build.sh"
cd "${BUILD_DIR:-$here/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
