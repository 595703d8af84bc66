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
# The compiler stamps the time of compiling into the file's header and into
# its #SYSTEM entry 10 (just before entry 9, "HHA Version"); zeroed, the same
# pages always make the same file.
printf '\000\000\000\000' | dd of="$out/Tamsel2.chm" bs=1 seek=16 conv=notrunc 2>/dev/null
hha=$(grep -obUa 'HHA Version' "$out/Tamsel2.chm" | head -1 | cut -d: -f1)
entry=$(od -An -tx1 -j $((${hha:-12} - 12)) -N4 "$out/Tamsel2.chm" | tr -d ' \n')
[ -n "$hha" ] && [ "$entry" = 0a000400 ] || { echo "make_help.sh: no time stamp where expected" >&2; exit 1; }
printf '\000\000\000\000' | dd of="$out/Tamsel2.chm" bs=1 seek=$((hha - 8)) conv=notrunc 2>/dev/null
