#!/bin/sh
# make_help.sh SOURCE_DIR OUT_DIR CHMCMD
# The pages are kept in UTF-8; the help viewer of a Japanese system reads the
# compiled file's text as Shift_JIS (code page 932), so they are converted first.
set -eu
src=$1 out=$2 chmcmd=$3
mkdir -p "$out"
for f in "$src"/*.html "$src"/*.hhc "$src"/*.hhp "$src"/*.css; do
  iconv -f UTF-8 -t CP932 "$f" > "$out/$(basename "$f")"
done
rm -f "$out/Tamsel2.chm"
(cd "$out" && "$chmcmd" Tamsel2.hhp > chmcmd.log 2>&1) || { cat "$out/chmcmd.log" >&2; exit 1; }
[ -s "$out/Tamsel2.chm" ] || { cat "$out/chmcmd.log" >&2; exit 1; }
