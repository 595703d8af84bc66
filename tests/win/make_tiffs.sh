#!/bin/sh
# TIFF pictures, which under Wine only the imaging component reads, each
# beside a BMP of the same pixels where the pixels are to be compared.
#   $1: ImageMagick's convert   $2: the folder
set -e
c="$1" d="$2"
mkdir -p "$d"
# A gradient with a block of another colour: no two neighbouring rows alike.
"$c" -size 37x23 gradient:'#ff2000-#0030ff' -fill '#20c040' -draw 'rectangle 5,5 12,9' -type TrueColor -depth 8 "$d/rgb.png"
"$c" "$d/rgb.png" -type TrueColor BMP3:"$d/rgb.bmp"
"$c" "$d/rgb.png" -type TrueColor -depth 8 -compress LZW "$d/rgb-lzw.tif"
"$c" "$d/rgb.png" -type TrueColor -depth 8 -compress Zip "$d/rgb-zip.tif"
# 16 bits a channel, each value the 8-bit one times 257.
"$c" "$d/rgb.png" -type TrueColor -depth 16 -compress None "$d/rgb16.tif"
"$c" "$d/rgb.png" -colors 16 -type Palette BMP3:"$d/palette.bmp"
"$c" "$d/palette.bmp" -type Palette -compress None "$d/palette.tif"
# Opaque red, half-transparent blue, fully transparent green.
"$c" -size 3x1 xc:none -fill 'rgba(255,0,0,1)' -draw 'point 0,0' -fill 'rgba(0,0,255,0.5)' -draw 'point 1,0' \
     -fill 'rgba(0,255,0,0)' -draw 'point 2,0' -type TrueColorAlpha -depth 8 "$d/alpha.tif"
# Two pages: 20 x 10 red, then 30 x 40 blue.
"$c" -size 20x10 xc:red -size 30x40 xc:blue -depth 8 "$d/pages.tif"
# Its directory, at the end of the file, cut off.
head -c 300 "$d/rgb-zip.tif" > "$d/truncated.tif"
rm -f "$d/rgb.png"
