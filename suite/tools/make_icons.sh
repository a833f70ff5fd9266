#!/bin/sh
# Draws the suite's icons (suite/ico/*.ico), each with 48, 32 and 16 pixel
# images. Needs ImageMagick 6 (convert). The .ico files are committed; run this
# again only to change them.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/ico"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Each drawing is made at 256 x 256 and scaled down into the icon.
ico() {
    name=$1
    shift
    convert -size 256x256 xc:none "$@" "$work/$name.png"
    convert "$work/$name.png" -define icon:auto-resize=48,32,16 "$out/$name.ico"
}

# A globe: the site that the disc opens.
ico site \
    -fill '#1e6fd0' -stroke '#0b3a75' -strokewidth 10 -draw 'circle 128,128 128,14' \
    -fill none -stroke '#ffffff' -strokewidth 9 \
    -draw 'ellipse 128,128 50,112 0,360' \
    -draw 'line 128,18 128,238' \
    -draw 'line 18,128 238,128' \
    -draw 'ellipse 128,70 96,14 0,360' \
    -draw 'ellipse 128,186 96,14 0,360' \
    -fill '#35b44a' -stroke none -draw 'polygon 60,60 100,48 110,90 80,112 56,96' \
    -draw 'polygon 150,140 196,128 200,170 168,200 146,178'

# A disc: the CD/DVD burnt from the virtual disk.
ico disque \
    -fill '#c8ccd4' -stroke '#5a6070' -strokewidth 8 -draw 'circle 128,128 128,12' \
    -fill none -strokewidth 22 -stroke '#f2a93b' -draw 'arc 40,40 216,216 200,290' \
    -stroke '#6ac3e8' -draw 'arc 40,40 216,216 20,110' \
    -fill '#eef0f4' -stroke '#5a6070' -strokewidth 6 -draw 'circle 128,128 128,86' \
    -fill '#ffffff' -draw 'circle 128,128 128,114'

# A film strip with a play sign: video pages and camcorder clips.
ico video \
    -fill '#262a33' -stroke none -draw 'roundrectangle 16,40 240,216 18,18' \
    -fill '#ffffff' \
    -draw 'rectangle 30,52 50,70' -draw 'rectangle 76,52 96,70' \
    -draw 'rectangle 122,52 142,70' -draw 'rectangle 168,52 188,70' \
    -draw 'rectangle 206,52 226,70' \
    -draw 'rectangle 30,186 50,204' -draw 'rectangle 76,186 96,204' \
    -draw 'rectangle 122,186 142,204' -draw 'rectangle 168,186 188,204' \
    -draw 'rectangle 206,186 226,204' \
    -fill '#ff8000' -draw 'polygon 100,88 100,168 172,128'

# The suite's own sign: an orange square with a white P.
ico pelmora \
    -fill '#ff8000' -stroke '#a04f00' -strokewidth 10 -draw 'roundrectangle 12,12 244,244 40,40' \
    -fill '#ffffff' -stroke none -font DejaVu-Sans-Bold -pointsize 200 \
    -gravity center -annotate +6+4 'P'

ls -l "$out"
