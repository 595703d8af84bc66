#!/usr/bin/env bash
# tests/release/repack_test.sh DIST
# The same commit packs to the same bytes from any checkout: the sources as
# they are here, checked out again in another folder (another name, another
# length), built there in a build folder of their own and packed, then
# compared byte for byte with what scripts/package wrote to DIST.
# One line per archive and installer, "ok: ..." or "FAIL: ...".
set -uo pipefail
dist="$(realpath "$1")"
source "$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/env.sh"
work="$TS_BUILD/repack"
other="$work/a-checkout-elsewhere/Tamsel2"
rm -rf "$work"
mkdir -p "$(dirname "$other")"
git clone -q --no-local "$TS_ROOT" "$other" || { echo "FAIL: repack: no second checkout"; exit 1; }
# What is not committed yet goes along, so that both sides pack the same sources.
git -C "$TS_ROOT" diff HEAD --binary > "$work/uncommitted.patch"
[ ! -s "$work/uncommitted.patch" ] || git -C "$other" apply --binary "$work/uncommitted.patch"
(cd "$TS_ROOT" && git ls-files -z --others --exclude-standard | tar --null -T - -cf -) | tar -C "$other" -xf -

# Only the program's files are built there: the tests do not ship.
TS_BUILD="$other/build" TS_DIST="$work/dist" TS_PACKAGE_CMAKE="-DTAMSEL_TESTS=OFF" \
  "$other/scripts/package" > "$work/package.log" 2>&1 || { tail -n 20 "$work/package.log"; echo "FAIL: repack: the second checkout did not pack"; exit 1; }

failures=0
for f in "$dist"/Tamsel2-*.zip "$dist"/Tamsel2-*-setup.exe; do
  name="$(basename "$f")"
  if cmp -s "$f" "$work/dist/$name"; then
    echo "ok: repack: $name is the same, byte for byte, from a checkout in another folder"
  else
    echo "FAIL: repack: $name differs when packed from a checkout in another folder"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && rm -rf "$other/build"
[ $failures -eq 0 ]
