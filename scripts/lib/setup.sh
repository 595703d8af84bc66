# Sourced by scripts/setup and by its test. ts_setup installs what a fresh
# Debian 12 machine lacks to build and test every target; only missing
# packages are installed. A package mirror can fail one index at any time:
# the set-up retries, goes on with the indexes it has, and treats the 32-bit
# side (wine32:i386) as optional. It fails only when something the 64-bit
# build or its tests need cannot be installed, and then names it.
#
# Commands are taken from PATH (apt-get, dpkg, dpkg-query), so a test can put
# fakes before them. TS_SETUP_WIN32_FILE names the file that records why the
# 32-bit side is off; TS_SETUP_PAUSE the seconds between update attempts.

ts_setup_required=(
  cmake make ninja-build pkg-config
  g++ clang libclang-rt-14-dev
  googletest
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  zlib1g-dev libz-mingw-w64-dev
  wine wine64 fonts-wine libwine-dev
  xvfb xauth x11-utils xdotool imagemagick libjpeg-turbo-progs
  fonts-noto-cjk fonts-ipafont-gothic
  fp-utils
  locales
  nsis zip unzip faketime
)
ts_setup_win32=(wine32:i386)

ts_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Does this machine execute 32-bit x86 code? A static i386 ELF that exits
# with 42 tells, before anything 32-bit is installed.
ts_runs_i386() {
  local probe rc
  probe="$(mktemp)"
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' > "$probe"
  chmod +x "$probe"
  rc=0
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

# apt-get update, tried a few times; a run in which some indexes still fail
# goes on with the rest. ts_setup_failed_indexes holds the addresses of the
# indexes that failed in the last attempt. Extra arguments go to apt-get.
ts_apt_update() {
  local attempt log rc
  log="$(mktemp)"
  ts_setup_failed_indexes=()
  for attempt in 1 2 3; do
    rc=0
    $ts_sudo apt-get -qq -o Acquire::Retries=3 "$@" update > "$log" 2>&1 || rc=$?
    mapfile -t ts_setup_failed_indexes < <(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u)
    if [ "$rc" -eq 0 ] && [ ${#ts_setup_failed_indexes[@]} -eq 0 ]; then rm -f "$log"; return 0; fi
    [ "$attempt" -lt 3 ] && sleep "$((${TS_SETUP_PAUSE:-10} * attempt))"
  done
  if [ ${#ts_setup_failed_indexes[@]} -eq 0 ]; then
    echo "setup: apt-get update failed (exit $rc), going on with the indexes there are:"
    tail -n 3 "$log" | sed 's/^/setup:   /'
  else
    local i
    for i in "${ts_setup_failed_indexes[@]}"; do
      echo "setup: the package index $i could not be read after 3 attempts; going on without it"
    done
  fi
  rm -f "$log"
  return 1
}

# A sources list of the suites none of whose indexes failed: "URI suite
# component" per line, from apt's own view of the configured sources.
ts_complete_sources() {
  local bad=() i uri suite comp of
  for i in "${ts_setup_failed_indexes[@]}"; do
    # .../REPO/dists/SUITE/...: the suite that index belongs to.
    [[ "$i" == */dists/* ]] || continue
    uri="${i%%/dists/*}/"
    suite="${i#*/dists/}"
    bad+=("$uri ${suite%%/*}")
  done
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' 2>/dev/null | sort -u |
    while read -r uri suite comp of; do
      [ "$of" = deb ] || continue
      local skip=0 b
      for b in "${bad[@]}"; do [ "$b" = "$uri $suite" ] && skip=1; done
      [ $skip -eq 0 ] && echo "deb $uri $suite $comp"
    done
}

ts_apt_install() {
  DEBIAN_FRONTEND=noninteractive $ts_sudo apt-get install -y -qq --no-install-recommends -o Acquire::Retries=3 "$@"
}

# The 32-bit side: wine32:i386 from the configured sources, else from the
# suites whose indexes are complete (upgrading the 64-bit libraries that must
# match). Returns 1 with ts_setup_why set when it cannot be had.
ts_setup_32bit() {
  local log
  log="$(mktemp)"
  if ts_apt_install "${ts_setup_win32[@]}" > "$log" 2>&1; then rm -f "$log"; return 0; fi
  ts_setup_why="apt-get could not install ${ts_setup_win32[*]}: $(grep -m1 '^E: ' "$log" || tail -n 1 "$log")"
  if [ ${#ts_setup_failed_indexes[@]} -gt 0 ]; then
    local dir
    dir="$(mktemp -d)"
    ts_complete_sources > "$dir/complete.list"
    if [ -s "$dir/complete.list" ]; then
      echo "setup: installing ${ts_setup_win32[*]} from the suites whose indexes are complete:"
      sed 's/^/setup:   /' "$dir/complete.list"
      mkdir -p "$dir/parts"
      local private=(-o Dir::Etc::SourceList="$dir/complete.list" -o Dir::Etc::SourceParts="$dir/parts")
      ts_apt_update "${private[@]}" || true
      if ts_apt_install "${private[@]}" "${ts_setup_win32[@]}" > "$log" 2>&1; then
        rm -rf "$dir" "$log"
        return 0
      fi
      ts_setup_why="${ts_setup_why}; from the complete suites too: $(grep -m1 '^E: ' "$log" || tail -n 1 "$log")"
    fi
    rm -rf "$dir"
  fi
  rm -f "$log"
  return 1
}

# The 32-bit side could not be had: the i386 architecture is taken away again
# unless packages use it, so that no later plain apt-get update waits on
# 32-bit indexes nothing needs.
ts_setup_drop_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 || return 0
  if $ts_sudo dpkg --remove-architecture i386 2>/dev/null; then
    echo "setup: the i386 architecture is disabled again (no package uses it)"
  else
    echo "setup: the i386 architecture stays enabled: i386 packages are installed"
  fi
}

ts_setup() {
  local off_file="${TS_SETUP_WIN32_FILE:-}"
  local win32=0 missing=() missing32=() p
  ts_setup_why="" ts_setup_failed_indexes=() ts_sudo=""
  [ "$(id -u)" -eq 0 ] || ts_sudo=sudo
  if ts_runs_i386; then
    win32=1
  else
    echo "setup: this machine does not execute 32-bit code: no 32-bit Wine, the win32 build is compiled only"
  fi
  for p in "${ts_setup_required[@]}"; do ts_installed "$p" || missing+=("$p"); done
  if [ $win32 -eq 1 ]; then
    for p in "${ts_setup_win32[@]}"; do ts_installed "$p" || missing32+=("$p"); done
  fi

  if [ ${#missing[@]} -gt 0 ] || [ ${#missing32[@]} -gt 0 ]; then
    if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "setup: enabling the i386 architecture for 32-bit Wine"
      $ts_sudo dpkg --add-architecture i386
    fi
    echo "setup: installing ${missing[*]} ${missing32[*]}"
    ts_apt_update || true
    if [ ${#missing[@]} -gt 0 ]; then
      local log
      log="$(mktemp)"
      if ! ts_apt_install "${missing[@]}" > "$log" 2>&1; then
        # apt installs all or nothing: one by one, so that only what cannot be had stays missing.
        for p in "${missing[@]}"; do ts_apt_install "$p" >> "$log" 2>&1 || true; done
      fi
      local still=()
      for p in "${missing[@]}"; do ts_installed "$p" || still+=("$p"); done
      if [ ${#still[@]} -gt 0 ]; then
        echo "setup: cannot install ${still[*]}, which the 64-bit build and its tests need:"
        grep '^E: ' "$log" | sort -u | sed 's/^/setup:   /'
        rm -f "$log"
        [ ${#missing32[@]} -eq 0 ] || ts_setup_drop_i386
        return 1
      fi
      rm -f "$log"
    fi
    if [ ${#missing32[@]} -gt 0 ] && ! ts_setup_32bit; then
      win32=0
      ts_setup_drop_i386
    fi
  fi

  if [ -n "$off_file" ]; then
    mkdir -p "$(dirname "$off_file")"
    if [ -n "$ts_setup_why" ] && [ $win32 -eq 0 ]; then echo "$ts_setup_why" > "$off_file"; else rm -f "$off_file"; fi
  fi
  if [ -n "$ts_setup_why" ] && [ $win32 -eq 0 ]; then
    echo "win32 tests not run: $ts_setup_why"
    echo "setup: every package for the 64-bit build and its tests present"
  else
    echo "setup: all packages present"
  fi
}
