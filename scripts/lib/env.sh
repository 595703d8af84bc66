# Sourced by the scripts: one place for the build folder, the private Wine
# prefix and the private X display, so that no script touches ~/.wine.
TS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TS_BUILD="${TS_BUILD:-$TS_ROOT/build}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

export WINEPREFIX="$TS_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
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
  # One idle console keeps the prefix's services up between test programs;
  # without it they stop after a few idle seconds and every program pays their restart.
  ts_keepalive="$(mktemp -u)"
  mkfifo "$ts_keepalive"
  "$WINE" cmd /k < "$ts_keepalive" >/dev/null 2>&1 &
  ts_pids+=($!)
  exec {ts_keepalive_fd}>"$ts_keepalive"
}

ts_prefix() {
  local stamp="$WINEPREFIX/.tamsel-prefix"
  local reg="$TS_ROOT/scripts/lib/prefix.reg"
  if [ -f "$stamp" ] && [ "$stamp" -nt "$reg" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 < /dev/null
  # regedit reads Unicode .reg files as UTF-16.
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg"; } > "$TS_BUILD/prefix-utf16.reg"
  "$WINE" regedit /S "$(winepath_of "$TS_BUILD/prefix-utf16.reg")" >/dev/null 2>&1 < /dev/null
  "$WINESERVER" -w
  touch "$stamp"
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
