#!/usr/bin/env bash
# Installs the Debian packages the suite needs to build, test and run, when
# they are missing. Needs root (or sudo) only when something must be installed.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libjpeg62-turbo-dev
    g++-mingw-w64-x86-64
    fonts-dejavu-core fonts-liberation2
    qt6-translations-l10n
    xvfb xauth xdg-utils
    clang libclang-rt-14-dev
)
if [ "${1:-}" = "--screenshots" ]; then
    packages+=(imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installation des paquets manquants : ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
