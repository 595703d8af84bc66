#!/usr/bin/env bash
# tests/release/release_test.sh BUILD DIST OLDER_DIST
# The released files of one build (win64 or win32), used as a user would,
# in a Wine prefix made fresh for them: the zip unpacked in a folder of the
# user's choosing and started there (a first start, the help file); the
# installer run silently over an older version, "Open with" for the types it
# reads, the installed program used with a plug-in, and the silent uninstall. One line per check, "ok: ..." or
# "FAIL: ..."; the exit status says whether all passed.
# Expects a display (DISPLAY) and scripts/package run.
set -uo pipefail
b="$1" dist="$(realpath "$2")" olderDist="$(realpath "$3")"
source "$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/env.sh"
failures=0
check() {  # check WHAT COMMAND...
  local what="$1"
  shift
  if "$@" >/dev/null 2>&1; then echo "ok: $b: $what"; else echo "FAIL: $b: $what"; failures=$((failures + 1)); fi
}
bin="$TS_BUILD/$b/bin"
loader="$WINE"; [ "$b" = win32 ] && loader="$WINE32"
ext=sph; [ "$b" = win32 ] && ext=spi
version=$(sed -n 's/^#define TAMSEL_VERSION_TEXT "\(.*\)"$/\1/p' "$TS_BUILD/win64/generated/version.h")
zip="$dist/Tamsel2-$version-$b.zip" setup="$dist/Tamsel2-$version-$b-setup.exe"
older=$(ls "$olderDist"/Tamsel2-*-"$b"-setup.exe | head -1)

ts_prefix fresh "$TS_BUILD/wineprefix-release-$b"
trap '"$WINESERVER" -k >/dev/null 2>&1' EXIT
win() { "$WINE" "$@" < /dev/null; }
regHas() { win reg query "$1" ${2:+/v "$2"} 2>/dev/null | grep -q -- "${3:-.}"; }
regGone() { ! win reg query "$1" >/dev/null 2>&1; }
regLacks() { ! regHas "$@"; }
users=("$WINEPREFIX"/drive_c/users/*)
home=""
for u in "${users[@]}"; do [ -d "$u/AppData" ] && [ "$(basename "$u")" != Public ] && home="$u"; done

# The zip, unpacked into a folder with a Japanese name: one folder Tamsel2/
# holding the program's files and nothing else.
listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
check "the zip holds Tamsel2/ with the program's files only" \
  test "$listing" = "Tamsel2/LICENSE Tamsel2/Quillmount.dll Tamsel2/QuillmountHost32.exe Tamsel2/QuillmountHost64.exe Tamsel2/Rastel.dll Tamsel2/Tamsel2.chm Tamsel2/Tamsel2.exe Tamsel2/readme.txt Tamsel2/ts2image.JPG "
tools="$WINEPREFIX/drive_c/ツール"
mkdir -p "$tools"
unzip -q "$zip" -d "$tools"
first=$("$loader" "$(winepath_of "$bin/release_check.exe")" 'C:\ツール\Tamsel2\Tamsel2.exe' < /dev/null)
sed "s/^/    /" <<<"$first"
check "the unpacked program: a first start with the default picture, and its help" \
  test -n "$first" -a -z "$(grep -v '^ok: ' <<<"$first")"

# The installer, silently: an older version (with one more file) into a
# folder of the user's choosing, A; the current one with no folder given,
# which finds A; then the current one into another folder, B, which takes
# the install out of A: one install, one uninstall entry, wherever it went.
programs="$home/AppData/Local/Programs/Tamsel2"
programsWin="$(win cmd /c echo %LOCALAPPDATA% | tr -d '\r')\\Programs\\Tamsel2"
folderA="$WINEPREFIX/drive_c/Apps/Tamsel2-A"
un='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamsel2'
win "$(winepath_of "$older")" /S '/D=C:\Apps\Tamsel2-A'
"$WINESERVER" -w
check "an older version installs into folder A ($(basename "$older"))" test -f "$folderA/old-only.txt"
win "$(winepath_of "$setup")" /S
"$WINESERVER" -w
check "folder A: the current version, with no folder given, goes where the older one is" \
  test -f "$folderA/Tamsel2.exe" -a ! -e "$folderA/old-only.txt" -a ! -e "$programs"
check "folder A: ... and its entry names A" regHas "$un" InstallLocation 'C:\\Apps\\Tamsel2-A'
check "folder A: ... and the folder is recorded for the next time" regHas 'HKCU\Software\Tamsel2' InstallDir 'C:\\Apps\\Tamsel2-A'
plugins="$WINEPREFIX/drive_c/spi"
mkdir -p "$plugins"
cp "$bin/testplugins/pnm.$ext" "$plugins/"
win reg add 'HKCU\Software\Obrinth\Susie\Plug-in' /v Path /t REG_SZ /d 'C:\spi' /f >/dev/null 2>&1
# The user's own program for JPEG, which "Open with" must leave as it is.
win reg add 'HKCU\Software\Classes\.jpg' /ve /d 'UsersViewer.jpg' /f >/dev/null 2>&1
win "$(winepath_of "$setup")" /S "/D=$programsWin"
"$WINESERVER" -w
check "folder B: installing into another folder takes the install out of A" test ! -e "$folderA"
check "folder B: ... and the one entry names B" regHas "$un" UninstallString 'Local.Programs.Tamsel2.Uninstall.exe'
check "folder B: ... which is recorded for the next time" regHas 'HKCU\Software\Tamsel2' InstallDir 'Local.Programs.Tamsel2'
for f in Tamsel2.exe Quillmount.dll QuillmountHost64.exe QuillmountHost32.exe Rastel.dll ts2image.JPG Tamsel2.chm \
         LICENSE readme.txt Uninstall.exe; do
  check "installed: $f" test -f "$programs/$f"
done
check "a Start-menu shortcut" test -f "$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tamsel2.lnk"
check "in the list of installed programs, with its version" regHas "$un" DisplayVersion "$version"
check "... and its publisher" regHas "$un" Publisher "Tamsel2"
check "... and a silent uninstall" regHas "$un" QuietUninstallString "Uninstall.exe\" /S"
clsid='{6F1D2B0E-3A4C-4D5E-9B71-2C8E5A9D4F13}'
# Wine's COM does not read the user's classes; they are checked as written.
check "the control registered for the user" regHas "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "" "Programs.Tamsel2.Quillmount.dll"
check "... under its ProgID" regHas 'HKCU\Software\Classes\Quillmount.SusiePlugin\CLSID' "" "$clsid"
classes='HKCU\Software\Classes'
check "\"Open with\": the program, by its whole path as the one argument" \
  regHas "$classes\\Applications\\Tamsel2.exe\\shell\\open\\command" "" 'Tamsel2.exe" %1'
check "... offered for JPEG" regHas "$classes\\.jpg\\OpenWithProgids" Tamsel2.Picture
check "... for the imaging component's TIFF" regHas "$classes\\.tif\\OpenWithProgids" Tamsel2.Picture
check "... for the installed plug-in's PPM" regHas "$classes\\.ppm\\OpenWithProgids" Tamsel2.Picture
check "... and JPEG still opens with the user's program" regHas "$classes\\.jpg" "" UsersViewer.jpg

# The installed program opens a picture through a plug-in (installed before
# the program, so "Open with" offers its type); the control is the one
# installed beside it.
{ printf 'P6 30 20 255\n'; head -c 1800 /dev/zero | tr '\0' '\100'; } > "$WINEPREFIX/drive_c/picture.ppm"
installed="$programsWin\\Tamsel2.exe"
check "the installed program opens a picture through a plug-in" \
  "$loader" "$(winepath_of "$bin/release_check.exe")" "$installed" 'C:\picture.ppm' 'picture.ppm - Tamsel2'

# The silent uninstall takes everything it installed, and keeps the settings.
win "$(winepath_of "$programs/Uninstall.exe")" /S
"$WINESERVER" -w
check "uninstalled: no folder left" test ! -e "$programs"
check "uninstalled: no shortcut" test ! -e "$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tamsel2.lnk"
check "uninstalled: not in the list of programs" regGone "$un"
check "uninstalled: no folder recorded" regGone 'HKCU\Software\Tamsel2'
check "uninstalled: the control's registration gone" regGone "HKCU\\Software\\Classes\\CLSID\\$clsid"
check "uninstalled: ... and its ProgID" regGone 'HKCU\Software\Classes\Quillmount.SusiePlugin'
check "uninstalled: \"Open with\" no more" regGone "$classes\\Applications\\Tamsel2.exe"
check "uninstalled: ... nor its type" regGone "$classes\\Tamsel2.Picture"
check "uninstalled: ... nor offered for JPEG" regLacks "$classes\\.jpg\\OpenWithProgids" Tamsel2.Picture
check "uninstalled: ... and JPEG's own program kept" regHas "$classes\\.jpg" "" UsersViewer.jpg
check "uninstalled: a type only the program had is gone" regGone "$classes\\.ppm"
check "the user's settings are kept" regHas 'HKCU\Software\VB and VBA Program Settings\Tamsel2\Run' LstFm
"$WINESERVER" -k >/dev/null 2>&1
[ $failures -eq 0 ]
