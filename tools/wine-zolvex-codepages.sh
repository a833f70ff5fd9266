#!/usr/bin/env bash
# Runs the disc's autorun program Zolvex.exe under Wine with a Western (1252),
# a Polish (1250) and a Russian (1251) ANSI code page, on disc roots made by
# the launcher's CD/DVD site window itself (its preview program, driven
# headless), each with a start page named in another language, and checks
# that the program asks the shell to open that very page. The browser is
# replaced by a small recorder registered for .htm files in a private Wine
# prefix. Names Windows cannot store must be refused by the window, with a
# message and nothing written.
#
#   tools/wine-zolvex-codepages.sh [BUILD-FOLDER]
#
# BUILD-FOLDER (default: build) is a CMake build of this repository; its
# Zolvex.exe and cdsite_preview are brought up to date first.
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

build=$(realpath "${1:-$repo/build}")
cmake --build "$build" --target Zolvex cdsite_preview >/dev/null
zolvex="$build/suite/Zolvex.exe"
preview="$build/tests/launcher/cdsite_preview"
x86_64-w64-mingw32-gcc -std=c11 -O2 -s -static -mwindows -municode -Wall -Wextra -Werror \
    -o "$work/open-recorder.exe" "$here/open-recorder.c" -lshell32

# The suite folder on C:, with the names the programs take from Suite.cmake.
suite_name() { sed -n "s/^set(PELMORA_$1 \(.*\))$/\1/p" "$repo/common/Suite.cmake"; }
suite="$work/c/Pelmora"
mkdir -p "$suite/$(suite_name AUTORUN_FOLDER)" "$suite/$(suite_name ICON_FOLDER)" "$work/drives"
cp "$zolvex" "$suite/$(suite_name AUTORUN_FOLDER)/$(suite_name AUTORUN_PROGRAM)"
cp "$repo/suite/ico/site.ico" "$suite/$(suite_name ICON_FOLDER)/site.ico"
ln -s "$work/c" "$work/drives/c:"
mkdir -m 700 "$work/run"

# One disc root per start page, made through the window: X: is that root.
make_disc() { # root page -> the window's messages on stdout
    mkdir -p "$1"
    echo '<html><body>Bienvenue</body></html>' >"$1/$2"
    ln -sfn "$1" "$work/drives/x:"
    PELMORA_DRIVES="$work/drives" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
        "$preview" 'C:\Pelmora' write "$2"
}

wine_prefix "$work"
record="$work/ouvert.txt"
command="\"$(wine_path "$work/open-recorder.exe")\" \"$(wine_path "$work")\\ouvert.txt\" \"%1\""
# Wine's shell looks file types up in HKEY_CLASSES_ROOT only.
"$WINE" reg add 'HKCR\.htm' /ve /d pelmora.enregistreur /f >/dev/null 2>&1
"$WINE" reg add 'HKCR\pelmora.enregistreur\shell\open\command' /ve /d "$command" /f \
    >/dev/null 2>&1
"$WINESERVER" -w

failures=0 n=0
# Names Windows cannot store: refused, with a message, and nothing written.
for page in 'a?b.htm' 'CON.htm' 'x.htm.'; do
    root="$work/refus-$((++n))"
    said=$(make_disc "$root" "$page")
    left=$(cd "$root" && ls -A | grep -vxF -- "$page" || true)
    if [ -z "$left" ] && [[ "$said" == *"$page"*"Windows"* ]]; then
        echo "« $page » refusé, rien d'écrit. Le choix dit : $(head -1 <<<"$said")"
    else
        echo "« $page » : ÉCHEC (écrit : « $left », messages : « ${said//$'\n'/ | } »)"
        failures=$((failures + 1))
    fi
done

pages=(fête.htm łódź.htm Москва.htm İstanbul.htm Αθήνα.htm 日本.htm smile😀.htm)
for page in "${pages[@]}"; do
    root="$work/disque-$((++n))"
    make_disc "$root" "$page" >/dev/null
    form=Windows-1252
    [ "$(head -c 2 "$root/Autorun.inf" | od -An -tx1 | tr -d ' ')" = fffe ] && form=UTF-16LE
    expected="$(wine_path "$root")\\$page"
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
            echo "page de code $codePage ($name), Autorun.inf en $form : Zolvex.exe ouvre $page"
        else
            echo "page de code $codePage ($name), Autorun.inf en $form : ÉCHEC pour $page" \
                "(code $status, ouvert : « ${got:-rien} »)"
            failures=$((failures + 1))
        fi
        # A message box left open holds the prefix: end it before the next run.
        [ "$status" -eq 0 ] || "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w
    done
done
[ "$failures" -eq 0 ]
