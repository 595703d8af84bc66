#!/bin/sh
# A BMP the viewer saves, read back by ImageMagick: the same pixels as the
# lossless source, and a header ImageMagick accepts as a Windows bitmap.
# usage: foreign_reader.sh WINE TOOL.exe DATA_DIR WORK_DIR
set -eu
wine="$1" tool="$2" data="$3" work="$4"
mkdir -p "$work"
zpath() { printf 'Z:%s' "$1" | tr / '\\'; }
status=0
for name in sample.bmp palette.bmp; do
  out="$work/saved-$name"
  rm -f "$out"
  "$wine" "$tool" "$(zpath "$data/$name")" "$(zpath "$out")"
  format=$(convert "$out" -format '%m %w %h' info:)
  expected=$(convert "$data/$name" -format '%m %w %h' info:)
  diff=$(compare -metric AE "$data/$name" "$out" null: 2>&1 || true)
  echo "$name: $format (source $expected), differing pixels: $diff"
  [ "$format" = "$expected" ] && [ "$diff" = "0" ] || status=1
done
exit $status
