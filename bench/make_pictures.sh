#!/bin/sh
# The benchmark pictures: textured and noisy like a photograph, all around
# the colour 220,40,170 that the start-up benchmark looks for on the screen.
# usage: make_pictures.sh CONVERT OUTDIR
set -e
convert="$1" out="$2"
mkdir -p "$out"
for size in 4000x3000 6000x4000; do
  name="$out/photo${size%x*}.jpg"
  "$convert" -seed 7 -size "$size" plasma:fractal -fill 'rgb(220,40,170)' -colorize 80% \
    -attenuate 0.4 +noise Gaussian -quality 90 "$name.tmp.jpg"
  mv "$name.tmp.jpg" "$name"
done
