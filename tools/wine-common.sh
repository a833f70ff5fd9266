# Shared by the Wine scripts: Debian's Wine and MinGW-w64, a private Wine
# prefix in a temporary folder, and a virtual display when there is none.
# Sourced, not run.

wine_install() {
    local packages=(wine wine64 g++-mingw-w64-x86-64 xvfb xauth "$@")
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installation des paquets manquants : ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Debian installs the loader as "wine" (package wine) and "wine-stable".
wine_find() {
    WINE=$(command -v wine || command -v wine-stable || echo /usr/lib/wine/wine64)
    [ -x "$WINE" ] || { echo "Wine introuvable" >&2; exit 1; }
    # Wine wants a display for windows and message boxes: a virtual one when
    # there is none.
    WINE_CMD=("$WINE")
    if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
        WINE_CMD=(xvfb-run -a "$WINE")
    fi
}

# A fresh prefix inside folder $1 (which the caller removes at the end);
# wineboot fills it once.
wine_prefix() {
    export WINEPREFIX="$1/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    WINESERVER=$(command -v wineserver || command -v wineserver-stable || echo wineserver)
    "${WINE_CMD[@]}" wineboot -i >/dev/null 2>&1 || true
}

# Ends the prefix's Wine processes and removes folder $1.
wine_cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "${WINESERVER:-wineserver}" -k 2>/dev/null || true
    fi
    rm -rf "$1"
}

# Runs a Windows program under Wine.
wine_run() {
    "${WINE_CMD[@]}" "$@"
}

# The Windows form (drive Z:) of a host path.
wine_path() {
    local path
    path=$(realpath "$1")
    echo "Z:${path//\//\\}"
}
