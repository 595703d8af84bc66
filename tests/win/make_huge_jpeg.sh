#!/bin/sh
# A real 30000 x 20000 JPEG of a few megabytes: rows are streamed through the
# encoder, so making it needs no memory to speak of.
set -e
{ printf 'P5 30000 20000 255\n'; head -c 600000000 /dev/zero; } | "$1" -grayscale -quality 50 > "$2.tmp"
mv "$2.tmp" "$2"
