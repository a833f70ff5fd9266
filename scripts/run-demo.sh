#!/usr/bin/env bash
# Builds what the demo needs (the two programs, the stand-ins and, where the
# cross compiler is found, the autorun program), lays out a demo suite folder
# under build/demo afresh (its own drive table, a virtual disk, a camcorder
# folder) and starts the launcher there. The user's own drive table is never
# touched.
#
#   scripts/run-demo.sh           build, lay the demo out afresh, start it
#   scripts/run-demo.sh --again   start the demo launcher again as it was left:
#                                 no build, nothing laid out again
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
demo=$build/demo
again=false
case "${1:-}" in
    --again) again=true ;;
    "") ;;
    *)
        echo "Usage : $0 [--again]" >&2
        exit 2
        ;;
esac

# The launcher is a window: without a display nothing else is worth doing.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Pas d'affichage graphique : la démo s'ouvre dans une fenêtre. Lancez-la depuis" >&2
    echo "une session de bureau (variable DISPLAY ou WAYLAND_DISPLAY définie)." >&2
    exit 1
fi

if ! $again; then
    "$here/scripts/setup-deps.sh"
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    # Only the demo's programs; the layout target depends on each of them and
    # lays the demo out afresh (the camcorder folder can be converted again).
    cmake --build "$build" -j"$(nproc)" --target suite_layout
elif [ ! -x "$demo/C/Pelmora/Pelmora" ]; then
    echo "Aucune démo dans $demo : lancez d'abord « $0 » sans --again." >&2
    exit 1
fi

if [ ! -f "$demo/C/Pelmora/racineCD/Zolvex.exe" ]; then
    echo "Note : Zolvex.exe n'a pas pu être construit (compilateur croisé" >&2
    echo "x86_64-w64-mingw32-g++ absent, paquet g++-mingw-w64-x86-64) : la démo est" >&2
    echo "installée sans lui, et l'enregistrement du CD_Site s'arrêtera à sa copie." >&2
fi

echo "Démo : $demo (pour la relancer telle quelle : $0 --again)"
export PELMORA_DRIVES="$demo/drives"
cd "$demo/C/Pelmora"
exec ./Pelmora
