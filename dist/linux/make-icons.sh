#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the desktop's icons (dist/linux/icons/<size>/<id>.png) from the suite's
# own icons, at the sizes of the hicolor theme that the .ico files hold (24 is
# scaled down from 32). Needs ImageMagick 6. The PNG files are committed; run
# this again only when suite/ico changes.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
ico="$here/../../suite/ico"
out="$here/icons"

# The .ico files hold 48, 32 and 16 pixel images, in that order.
make() {
    source=$1
    id=$2
    for entry in 0:48 1:32 2:16 1:24; do
        index=${entry%%:*}
        size=${entry#*:}
        mkdir -p "$out/$size"
        convert "$ico/$source[$index]" -resize "${size}x${size}" -strip \
            "PNG32:$out/$size/$id.png"
    done
}

make pelmora.ico example.orvane.Pelmora
make video.ico example.orvane.Strovan
