#!/bin/sh
# Draws the windows' pictures (launcher/pictures/*.jpg and
# converter/pictures/*.jpg), each next to the program that shows it. Needs
# ImageMagick 6 (convert) and the DejaVu fonts. The JPEG files are committed;
# run this again only to change them.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
launcher="$here/launcher/pictures"
converter="$here/converter/pictures"
mkdir -p "$launcher" "$converter"
# No time stamps or profiles in the files, so that a new run gives the same bytes.
jpeg="-strip -quality 90 -sampling-factor 2x2"

# Launcher banner, shown stretched into 482 x 89.
convert -size 482x89 gradient:'#ffd27a'-'#ff8000' \
    -fill '#fff3dc' -stroke none -draw 'circle 440,44 440,8' \
    -fill '#ff8000' -draw 'polygon 426,26 426,62 460,44' \
    -font DejaVu-Sans-Bold -pointsize 34 -fill '#5a2a00' -annotate +18+44 'Pelmora' \
    -font DejaVu-Sans -pointsize 15 -fill '#3a1a00' \
    -annotate +20+70 "Création de pages web et d'un site sur CD/DVD" \
    -fill none -stroke '#a04f00' -strokewidth 2 -draw 'rectangle 1,1 480,87' \
    $jpeg "$launcher/banniere_pelmora.jpg"

# Video help window's picture, 89 x 89: a clapperboard.
convert -size 89x89 xc:'#d4d0c8' \
    -fill '#262a33' -draw 'rectangle 12,34 76,76' \
    -draw 'polygon 12,22 72,10 75,22 15,34' \
    -fill '#ffffff' -draw 'polygon 24,20 34,18 38,30 28,32' \
    -draw 'polygon 46,15 56,13 60,25 50,27' \
    -fill '#ff8000' -draw 'polygon 36,44 36,68 58,56' \
    $jpeg "$launcher/aide_video.jpg"

# Converter banner, 777 x 41.
convert -size 777x41 gradient:'#20307a'-'#8080ff' -rotate -90 -resize '777x41!' \
    -font DejaVu-Sans-Bold -pointsize 22 -fill '#ffff80' -annotate +12+29 'Strovan' \
    -font DejaVu-Sans -pointsize 15 -fill '#ffffff' \
    -annotate +130+27 'Vos films de caméscope JVC : des fichiers .MOD aux fichiers .MPG' \
    $jpeg "$converter/banniere_strovan.jpg"

# Converter's BtAction picture, 32 x 32: a clip turning into another.
convert -size 32x32 xc:'#d4d0c8' \
    -fill '#262a33' -draw 'rectangle 2,6 13,25' -draw 'rectangle 19,6 30,25' \
    -fill '#ffffff' -draw 'rectangle 4,9 5,10' -draw 'rectangle 4,21 5,22' \
    -draw 'rectangle 26,9 27,10' -draw 'rectangle 26,21 27,22' \
    -fill '#ff8000' -draw 'polygon 13,13 19,16 13,19' \
    $jpeg "$converter/bt_action.jpg"

# Converter's BtMenu picture, 32 x 32: back to the menu.
convert -size 32x32 xc:'#d4d0c8' \
    -fill '#ff8000' -stroke '#a04f00' -draw 'roundrectangle 3,3 28,28 5,5' \
    -stroke none -fill '#ffffff' \
    -draw 'polygon 8,16 16,9 16,13 24,13 24,19 16,19 16,23' \
    $jpeg "$converter/bt_menu.jpg"

# Quit picture for the small picture buttons (video help and CD/DVD site windows).
convert -size 32x32 xc:'#d4d0c8' \
    -fill '#c0392b' -draw 'circle 16,16 16,3' \
    -stroke '#ffffff' -strokewidth 4 -draw 'line 10,10 22,22' -draw 'line 22,10 10,22' \
    $jpeg "$launcher/bt_quitter.jpg"

for f in "$launcher"/*.jpg "$converter"/*.jpg; do identify "$f"; done
