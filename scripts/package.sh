#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package (build-deb/pelmora_<version>_amd64.deb, or
# $PACKAGE_BUILD_DIR) and checks it: it holds both programs, the suite folder,
# the desktop entries, the metadata and the manual pages, and the desktop
# entries, the metadata and the package pass their validators.
#   scripts/package.sh --with-tests   # the same build also runs every test
#                                     # before it is packaged (CI: one build
#                                     # for both)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PACKAGE_BUILD_DIR:-$here/build-deb}
with_tests=OFF
case "${1:-}" in
    --with-tests) with_tests=ON ;;
    "") ;;
    *)
        echo "Usage : $0 [--with-tests]" >&2
        exit 2
        ;;
esac

"$here/scripts/setup-deps.sh"
# What the package's build and checks need beyond the suite's own build.
packages=(dpkg-dev file lintian desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's hardening flags, as a Debian build would give them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# The tests install nothing: the package is the same with them or without.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DPELMORA_BUILD_TESTS=$with_tests -DPELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ "$with_tests" = ON ]; then
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
fi
rm -f "$build"/pelmora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pelmora_*_amd64.deb)
echo "Paquet : $deb"

fail() {
    echo "ÉCHEC : $*" >&2
    exit 1
}
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
# The suite folder's programs, documents and settings, by the names the build uses.
mapfile -t suite_paths < <(cmake -DSUITE_DIR=./usr/lib/pelmora -P "$here/common/SuitePaths.cmake")
[ ${#suite_paths[@]} -gt 0 ] || fail "liste du dossier de la suite vide"
for path in ./usr/bin/pelmora ./usr/bin/strovan "${suite_paths[@]}" \
    ./usr/share/applications/example.orvane.Pelmora.desktop \
    ./usr/share/applications/example.orvane.Strovan.desktop \
    ./usr/share/metainfo/example.orvane.Pelmora.metainfo.xml \
    ./usr/share/metainfo/example.orvane.Strovan.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/example.orvane.Pelmora.png \
    ./usr/share/man/man1/pelmora.1.gz ./usr/share/man/man1/strovan.1.gz \
    ./usr/share/doc/pelmora/copyright ./usr/share/doc/pelmora/changelog.Debian.gz; do
    grep -qxF "$path" <<<"$contents" || fail "$path manque dans le paquet"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
# The programs answer without a display.
version=$("$unpacked/usr/bin/pelmora" --version)
[ "$version" = "Pelmora $(dpkg-deb --field "$deb" Version | cut -d- -f1)" ] ||
    fail "pelmora --version répond « $version »"
# lintian exits non-zero on an error; warnings are shown.
lintian --fail-on error "$deb"
echo "Paquet vérifié : $deb"
