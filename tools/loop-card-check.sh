#!/usr/bin/env bash
# Imports a real FAT card through the converter's window: a vfat image made by
# mkfs.vfat and filled by mtools, loop-mounted where the desktop mounts the
# user's removable media (/media/$USER), then chosen in the converter under a
# virtual display with a window manager, imported ("Oui") and converted into
# the videos folder of a home of its own. The card's listing (names, sizes,
# times, SHA-256 of every file) is taken before and after: they must match.
#
#   tools/loop-card-check.sh [SHOTS_FOLDER]
#
# Needs root (losetup, mount), dosfstools, mtools, xvfb, openbox, xdotool and
# imagemagick; where the kernel has no vfat driver, fusefat mounts the image.
# Screenshots go to SHOTS_FOLDER (default: a temporary folder, printed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
work=$(mktemp -d /tmp/loop-card.XXXXXX)
shots=${1:-$work/shots}
mkdir -p "$shots"
user=$(id -un)
mnt=/media/$user/CAMESCOPE
img=$work/card.img

cmake --build "$build" --target Strovan >/dev/null
strovan=$(find "$build/converter" -maxdepth 1 -type f -executable -name 'Strovan*' | head -1)

# The card, as a JVC camcorder lays it out: SD_VIDEO, its recording folders
# with clips and index files, and the camera's own MGR_INFO.
truncate -s 64M "$img"
mkfs.vfat -n CAMESCOPE "$img" >/dev/null
export MTOOLS_SKIP_CHECK=1
mmd -i "$img" ::/SD_VIDEO ::/SD_VIDEO/PRG001 ::/SD_VIDEO/PRG002 ::/SD_VIDEO/MGR_INFO
mcopy -m -i "$img" "$here"/suite/demo/camescope/PRG001/* ::/SD_VIDEO/PRG001/
mcopy -m -i "$img" "$here"/suite/demo/camescope/PRG002/* ::/SD_VIDEO/PRG002/
head -c 12M /dev/urandom >"$work/MOV003.MOD"
cp "$here/suite/demo/camescope/PRG001/MOV001.MOI" "$work/MOV003.MOI"
head -c 700 /dev/urandom >"$work/PRG001.PGI"
head -c 4096 /dev/urandom >"$work/MGR_INFO.DAT"
mcopy -m -i "$img" "$work/MOV003.MOD" "$work/MOV003.MOI" "$work/PRG001.PGI" ::/SD_VIDEO/PRG001/
mcopy -m -i "$img" "$work/MGR_INFO.DAT" ::/SD_VIDEO/MGR_INFO/

loop=$(losetup -f --show "$img")
mkdir -p "$mnt"
cleanup() {
    umount "$mnt" 2>/dev/null || true
    losetup -d "$loop" 2>/dev/null || true
    rmdir "$mnt" 2>/dev/null || true
}
trap cleanup EXIT
if ! mount -t vfat "$loop" "$mnt" 2>/dev/null; then
    echo "no vfat in this kernel: mounting the image with fusefat" >&2
    fusefat -o rw+ "$loop" "$mnt" >/dev/null
fi
listing() {
    (cd "$mnt" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %Y %F' &&
        find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
listing >"$work/before.txt"

# A home of its own: its videos folder, and c: for it in a drive table.
home=$work/home
mkdir -p "$home/Vidéos" "$work/drives"
ln -s "$home" "$work/drives/c:"
export HOME=$home XDG_CONFIG_HOME=$home/.config PELMORA_DRIVES=$work/drives

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -e
    openbox & sleep 1
    cd "'"$(dirname "$strovan")"'" && "'"$strovan"'" MENU & sleep 3
    shot() { import -window root "'"$shots"'/$1.png"; }
    win=$(xdotool search --sync --name "MOD vers MPG" | head -1)
    xdotool windowactivate --sync "$win"
    # With the card mounted, the converter opens on its SD_VIDEO.
    shot 0-opened-on-card
    # Points inside the window: the conversion button and the drive selector.
    action() { xdotool mousemove --window "$win" 636 88 click 1; }
    drives() { xdotool mousemove --window "$win" 100 65 click 1; }
    # SD_VIDEO chosen by hand all the same, wherever the window opened: drive
    # d: (the card), its root at the top of the folders, the folder below it.
    xdotool key d; sleep 1
    xdotool key Tab Home Down Return; sleep 1
    shot 1-card-chosen
    action; sleep 2
    shot 2-offer
    xdotool key Return; sleep 4
    shot 3-report
    xdotool key Return; sleep 1
    shot 4-copy-shown
    # The same card again: nothing is copied twice.
    drives; sleep 1
    xdotool key d Return; sleep 1
    xdotool key Tab Home Down Return; sleep 1
    action; sleep 2
    shot 5-offer-again
    xdotool key Return; sleep 4
    shot 6-report-again
    xdotool key Return; sleep 1
    xdotool key alt+F4; sleep 1
'
listing >"$work/after.txt"
echo "screenshots: $shots"
echo "videos folder:"
(cd "$home/Vidéos" && find . -type f | sort)
status=0
if diff -u "$work/before.txt" "$work/after.txt"; then
    echo "card unchanged: $(grep -c . "$work/before.txt") lines of listing match"
else
    echo "THE CARD CHANGED" >&2
    status=1
fi
# One import folder (the second import made none), holding a converted clip
# for every clip on the card.
imports=("$home/Vidéos"/Camescope\ ????-??-??*)
clips=$(find "$mnt" -type f -iname '*.MOD' | wc -l)
if [ ${#imports[@]} -ne 1 ] || [ ! -d "${imports[0]}" ]; then
    echo "NOT ONE IMPORT FOLDER IN THE VIDEOS FOLDER" >&2
    status=1
elif [ "$(find "${imports[0]}" -type f -iname '*.MPG' | wc -l)" -ne "$clips" ]; then
    echo "NOT $clips CONVERTED CLIPS IN ${imports[0]}" >&2
    status=1
else
    echo "imported and converted: $clips clips in ${imports[0]}"
fi
exit $status
