# Sourced by the scripts: one place for the build folder, the private Wine
# prefixes and the private X display, so that no script touches ~/.wine.
TS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TS_BUILD="${TS_BUILD:-$TS_ROOT/build}"
WINE=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver64

# The user's prefix (scripts/run, scripts/screenshot) and the tests' own, so
# that what the tests store never shows up at the user's start.
TS_USER_PREFIX="$TS_BUILD/wineprefix"
TS_TEST_PREFIX="$TS_BUILD/wineprefix-test"
export WINEPREFIX="$TS_USER_PREFIX"
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or Gecko prompts, and no start-menu files of the prefix's programs
# written into the Linux desktop (installers create shortcuts).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LOCPATH="$TS_BUILD/locale"

ts_pids=()

# Without the locale Wine silently falls back to code page 1252; made
# privately, so nothing in /etc changes.
ts_locale() {
  [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] && return 0
  mkdir -p "$LOCPATH"
  localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ]
}
ts_locale
# bash itself cannot see LOCPATH (so it warns); Wine and its programs do.
{ export LANG=ja_JP.UTF-8; unset LC_ALL LC_CTYPE LC_MESSAGES; } 2>/dev/null

# A private Xvfb unless a display is given and usable.
ts_display() {
  if [ "${1:-}" != private ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -dpi 96 >/dev/null 2>&1 &
  ts_pids+=($!)
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no X display could be started" >&2
  return 1
}

# A persistent wineserver in its own session, and one process to start the
# prefix's services with their output detached: otherwise a test runner that
# reads the first Wine process's pipes waits on them.
ts_wineserver() {
  "$WINESERVER" -k >/dev/null 2>&1 || true  # a stale server of this prefix, and its processes
  ts_wine_started=1
  setsid "$WINESERVER" -p -f >/dev/null 2>&1 < /dev/null &
  ts_pids+=($!)
  "$WINE" cmd /c exit >/dev/null 2>&1 < /dev/null || true
  # The virtual desktop too: started by the first program that opens a
  # window, it would hold that program's output pipe for the whole session
  # (a shell file dialog keeps it from ending).
  setsid "$WINE" explorer.exe /desktop=Default,1280x1024 >/dev/null 2>&1 < /dev/null &
  ts_pids+=($!)
  # One idle console keeps the prefix's services up between test programs;
  # without it they stop after a few idle seconds and every program pays their restart.
  ts_keepalive="$(mktemp -u)"
  mkfifo "$ts_keepalive"
  "$WINE" cmd /k < "$ts_keepalive" >/dev/null 2>&1 &
  ts_pids+=($!)
  exec {ts_keepalive_fd}>"$ts_keepalive"
}

# Whether 32-bit Windows programs run here; when not, TS_WIN32_WHY says why.
ts_win32_runs() {
  TS_WIN32_WHY=""
  if [ ! -x "$WINE32" ] && [ -s "$TS_BUILD/win32-off.txt" ]; then
    TS_WIN32_WHY="$(cat "$TS_BUILD/win32-off.txt")"  # the set-up could not install it
  elif [ ! -x "$WINE32" ]; then
    TS_WIN32_WHY="32-bit Wine ($WINE32, Debian's wine32:i386) is not installed: this machine does not execute 32-bit code"
  elif ! "$WINE32" --version >/dev/null 2>&1; then
    TS_WIN32_WHY="the 32-bit Wine loader $WINE32 does not start on this machine"
  fi
  [ -z "$TS_WIN32_WHY" ]
}

# ts_prefix [user|test|fresh FOLDER]: selects the prefix and makes it when it
# is missing, older than its settings, or made before 32-bit Wine was
# installed; "fresh" makes a new one in FOLDER whatever was there.
ts_prefix() {
  case "${1:-user}" in
    test) export WINEPREFIX="$TS_TEST_PREFIX" ;;
    fresh) export WINEPREFIX="$2"; rm -rf "$WINEPREFIX" ;;
    *) export WINEPREFIX="$TS_USER_PREFIX" ;;
  esac
  local stamp="$WINEPREFIX/.tamsel-prefix"
  local reg="$TS_ROOT/scripts/lib/prefix.reg"
  local wow64=1
  if ts_win32_runs && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then wow64=0; fi
  if [ -f "$stamp" ] && [ "$stamp" -nt "$reg" ] && [ $wow64 -eq 1 ]; then
    # Until the tests had a prefix of their own they ran in the user's and left
    # their settings there: removed once, so the next start is a first start.
    if [ "$WINEPREFIX" = "$TS_USER_PREFIX" ] && ! grep -q own "$stamp"; then
      "$WINE" reg delete 'HKCU\Software\VB and VBA Program Settings\Tamsel2' /f >/dev/null 2>&1 < /dev/null || true
      "$WINESERVER" -w
      echo own > "$stamp"
    fi
    return 0
  fi
  if [ $wow64 -eq 0 ] && [ -d "$WINEPREFIX" ]; then
    echo "prefix $WINEPREFIX has no 32-bit side: made anew"
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 < /dev/null
  # regedit reads Unicode .reg files as UTF-16.
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg"; } > "$TS_BUILD/prefix-utf16.reg"
  "$WINE" regedit /S "$(winepath_of "$TS_BUILD/prefix-utf16.reg")" >/dev/null 2>&1 < /dev/null
  "$WINESERVER" -w
  echo own > "$stamp"
}

winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

ts_cleanup() {
  local p
  # The prefix's own processes (services, desktop) go with the server.
  if [ -n "${ts_wine_started:-}" ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
  ts_wine_started=
  if [ -n "${ts_keepalive_fd:-}" ]; then exec {ts_keepalive_fd}>&-; rm -f "$ts_keepalive"; ts_keepalive_fd=; fi
  for p in "${ts_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${ts_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  ts_pids=()
}
