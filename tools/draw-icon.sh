#!/bin/sh
# Redraws the application icon: a person badge with a plus sign, for "add an account".
# Needs ImageMagick. Writes the PNG the windows use, the .ico the Windows executable carries and
# the hicolor icons of the desktop entry.
set -eu
cd "$(dirname "$0")/.."
out=ui/resources/kelto-icon.png
convert -size 256x256 xc:none \
    -fill '#1f4e8c' -stroke '#0d2a52' -strokewidth 8 -draw 'roundrectangle 12,28 232,236 36,36' \
    -fill '#f2f5fa' -stroke none -draw 'circle 104,104 104,58' \
    -fill '#f2f5fa' -draw 'roundrectangle 36,150 172,212 40,40' \
    -fill '#e03a2f' -stroke '#ffffff' -strokewidth 6 -draw 'circle 186,70 186,18' \
    -fill '#ffffff' -stroke none -draw 'rectangle 178,44 194,96' -draw 'rectangle 160,62 212,78' \
    "$out"
convert "$out" -define icon:auto-resize=256,48,32,16 app/kelto-account-creator.ico
# The sizes desktops look for in the hicolor theme, installed with the window program.
for size in 16 24 32 48 64 128 256; do
    mkdir -p "dist/icons/${size}x${size}"
    convert "$out" -resize "${size}x${size}" -strip "dist/icons/${size}x${size}/kelto-account-creator.png"
done
