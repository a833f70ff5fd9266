#!/usr/bin/env bash
# Builds the suite, lays out a demo suite folder under build/demo (its own
# drive table, a virtual disk, a camcorder folder and the stand-ins) and starts
# the launcher there. The user's own drive table is never touched.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup-deps.sh"
"$here/scripts/build.sh"   # the build lays the demo out afresh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Pas d'affichage graphique : lancez la démo sous xvfb-run, par exemple « xvfb-run -a -s '-screen 0 1024x768x24' $0 »." >&2
    exit 1
fi

export PELMORA_DRIVES="$build/demo/drives"
cd "$build/demo/C/Pelmora"
exec ./Pelmora
