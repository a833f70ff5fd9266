#!/usr/bin/env bash
# Runs the disc's autorun program Zolvex.exe under Wine with a Western (1252),
# a Polish (1250) and a Russian (1251) ANSI code page, on a disc root whose
# Autorun.inf names "fête.htm" as the launcher writes it, and checks that the
# program asks the shell to open that very page. The browser is replaced by a
# small recorder registered for .htm files in a private Wine prefix.
#
#   tools/wine-zolvex-codepages.sh [Zolvex.exe]
#
# Without an argument, Zolvex.exe is cross-built from suite/zolvex/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
. "$here/wine-common.sh"

wine_install locales
wine_find
work=$(mktemp -d)
trap 'wine_cleanup "$work"' EXIT

# The locales Wine takes its code page from.
locales=(fr_FR:1252 pl_PL:1250 ru_RU:1251)
for entry in "${locales[@]}"; do
    name=${entry%%:*}
    if ! locale -a 2>/dev/null | grep -qx "$name.utf8"; then
        sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" localedef -i "$name" -f UTF-8 "$name.UTF-8"
    fi
done

zolvex=${1:-}
if [ -z "$zolvex" ]; then
    zolvex="$work/Zolvex.exe"
    x86_64-w64-mingw32-g++ -std=c++20 -Os -s -static -mwindows -municode -DUNICODE -D_UNICODE \
        -Wall -Wextra -Wpedantic -Werror -I "$repo" -o "$zolvex" \
        "$repo/suite/zolvex/Zolvex.cpp" "$repo/suite/zolvex/AutorunIni.cpp" -lshell32
fi
x86_64-w64-mingw32-gcc -std=c11 -O2 -s -static -mwindows -municode -Wall -Wextra -Werror \
    -o "$work/open-recorder.exe" "$here/open-recorder.c" -lshell32

# The disc root: Autorun.inf exactly as the launcher writes it (Windows-1252,
# CR LF), the page, and the program.
root="$work/disque"
mkdir -p "$root"
printf '[Autorun]\r\nOPEN=Zolvex.exe\r\nICON=site.ico\r\nHTM=f\xeate.htm\r\n' >"$root/Autorun.inf"
echo '<html><body>Bienvenue</body></html>' >"$root/fête.htm"
cp "$zolvex" "$root/zolvex.exe"

wine_prefix "$work"
record="$work/ouvert.txt"
command="\"$(wine_path "$work/open-recorder.exe")\" \"$(wine_path "$work")\\ouvert.txt\" \"%1\""
# Wine's shell looks file types up in HKEY_CLASSES_ROOT only.
"$WINE" reg add 'HKCR\.htm' /ve /d pelmora.enregistreur /f >/dev/null 2>&1
"$WINE" reg add 'HKCR\pelmora.enregistreur\shell\open\command' /ve /d "$command" /f \
    >/dev/null 2>&1
"$WINESERVER" -w

expected="$(wine_path "$root")\\fête.htm"
failures=0
for entry in "${locales[@]}"; do
    name=${entry%%:*}
    codePage=${entry##*:}
    rm -f "$record"
    # A page not found shows a message box: the time limit ends it.
    status=0
    LANG="$name.UTF-8" LC_ALL="$name.UTF-8" timeout 60 \
        "${WINE_CMD[@]}" "$root/zolvex.exe" >/dev/null 2>&1 || status=$?
    # The shell starts the recorder on its own: give it a moment to write.
    for _ in $(seq 50); do
        [ -s "$record" ] && break
        sleep 0.2
    done
    got=$(cat "$record" 2>/dev/null || true)
    if [ "$status" -eq 0 ] && [ "$got" = "$codePage	$expected" ]; then
        echo "page de code $codePage ($name) : Zolvex.exe ouvre $expected"
    else
        echo "page de code $codePage ($name) : ÉCHEC (code $status, ouvert : « ${got:-rien} »)"
        failures=$((failures + 1))
    fi
    # A message box left open holds the prefix: end it before the next run.
    [ "$status" -eq 0 ] || "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w
done
[ "$failures" -eq 0 ]
