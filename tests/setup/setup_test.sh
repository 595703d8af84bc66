#!/usr/bin/env bash
# tests/setup/setup_test.sh
# The set-up's decisions against a fake apt-get, dpkg and dpkg-query that
# play a package mirror: one that works, one whose index fails, one whose
# 32-bit side cannot be resolved (and one where even the complete suites do
# not help), a machine without 32-bit code, a package that cannot be had, a
# machine that lacks nothing. Each case checks what is installed, what is
# printed and the exit status. One line per check, "ok: ..." or "FAIL: ...".
set -uo pipefail
lib="$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/setup.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT COMMAND...
  local what="$1"
  shift
  if "$@" >/dev/null 2>&1; then echo "ok: setup: $what"; else echo "FAIL: setup: $what"; failures=$((failures + 1)); fi
}

security_i386="http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
updates_amd64="http://deb.debian.org/debian/dists/bookworm-updates/main/binary-amd64/Packages.xz"

mkdir -p "$work/bin"
cat > "$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
S="$FAKE_STATE"
echo "apt-get $*" >> "$S/calls"
private=0 args=()
while [ $# -gt 0 ]; do
  case "$1" in
    -o) [[ "$2" == Dir::Etc::SourceList=* ]] && private=1; shift 2 ;;
    -*) shift ;;
    *) args+=("$1"); shift ;;
  esac
done
i386=0; grep -qx i386 "$S/archs" && i386=1
case "${args[0]}" in
  update)
    n=$(($(cat "$S/updates" 2>/dev/null || echo 0) + 1)); echo $n > "$S/updates"
    fail="${FAKE_FAIL_INDEX:-}"
    [[ "$fail" == *binary-i386* ]] && [ $i386 -eq 0 ] && fail=""
    [[ "$fail" == *bookworm-security* ]] && [ $private -eq 1 ] && fail=""
    [ -n "${FAKE_FAIL_TIMES:-}" ] && [ "$n" -gt "$FAKE_FAIL_TIMES" ] && fail=""
    if [ -n "$fail" ]; then
      echo "E: Failed to fetch $fail  File has unexpected size (39712 != 39780). Mirror sync in progress? [IP: 192.0.2.1 80]" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi ;;
  indextargets)
    printf '%s\n' "http://deb.debian.org/debian/ bookworm main deb" "http://deb.debian.org/debian/ bookworm-updates main deb" \
      "http://deb.debian.org/debian-security/ bookworm-security main deb" ;;
  install)
    for p in "${args[@]:1}"; do
      if [ "$p" = "${FAKE_UNAVAILABLE:-}" ]; then echo "E: Unable to locate package $p" >&2; exit 100; fi
      if [ "$p" = wine32:i386 ]; then
        [ $i386 -eq 1 ] || { echo "E: Unable to locate package wine32:i386" >&2; exit 100; }
        if { [ "${FAKE_I386:-}" = held ] && [ $private -eq 0 ]; } || [ "${FAKE_I386:-}" = never ]; then
          echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
        fi
      fi
    done
    for p in "${args[@]:1}"; do
      if [ "$p" = wine32:i386 ]; then echo "wine32 i386" >> "$S/installed"; [ $private -eq 1 ] && echo "libwine amd64 upgraded" >> "$S/installed"
      else echo "$p amd64" >> "$S/installed"; fi
    done ;;
esac
exit 0
EOF
cat > "$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
name="${!#}" arch=amd64
[[ "$name" == *:i386 ]] && name="${name%:i386}" arch=i386
grep -qx "$name $arch" "$FAKE_STATE/installed" && printf 'install ok installed'
exit 0
EOF
cat > "$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
S="$FAKE_STATE"
echo "dpkg $*" >> "$S/calls"
case "$1" in
  --print-foreign-architectures) cat "$S/archs" ;;
  --add-architecture) echo "$2" >> "$S/archs" ;;
  --remove-architecture)
    if grep -q " $2\$" "$S/installed"; then echo "dpkg: error: cannot remove architecture '$2' currently in use by the database" >&2; exit 2; fi
    grep -vx "$2" "$S/archs" > "$S/archs.new"; mv "$S/archs.new" "$S/archs" ;;
esac
EOF
chmod +x "$work/bin/"*

# run CASE I386(yes|no) [VAR=VALUE...]: the set-up on a machine that has
# nothing yet; leaves its output in $out, its status in $rc.
run() {
  local name="$1" runs="$2"
  shift 2
  S="$work/$name"
  mkdir -p "$S"
  : > "$S/installed"; : > "$S/archs"; : > "$S/calls"
  [ -n "${PRESET:-}" ] && printf '%s\n' "$PRESET" > "$S/installed"
  rc=0
  out=$(env "$@" FAKE_STATE="$S" PATH="$work/bin:$PATH" TS_SETUP_PAUSE=0 TS_SETUP_WIN32_FILE="$S/win32-off.txt" \
    bash -c 'source "$1"; runs="$2"; ts_runs_i386() { [ "$runs" = yes ]; }; ts_setup' _ "$lib" "$runs" 2>&1) || rc=$?
  sed "s/^/    $name| /" <<<"$out"
  echo "    $name| exit $rc"
}
has() { grep -qx "$1" "$S/installed"; }
says() { grep -qF -- "$1" <<<"$out"; }
all_required() { local p; for p in cmake g++-mingw-w64-x86-64-posix wine64 nsis xvfb; do has "$p amd64" || return 1; done; }
all_required_but_nsis() { has "cmake amd64" && has "wine64 amd64" && ! has "nsis amd64"; }
updates() { cat "$S/updates" 2>/dev/null || echo 0; }

run fine yes
check "fine: exit 0" test $rc -eq 0
check "fine: the 64-bit packages and wine32:i386 installed" eval 'all_required && has "wine32 i386"'
check "fine: the i386 architecture enabled" grep -qx i386 "$S/archs"
check "fine: one index update, all packages present" eval '[ "$(updates)" = 1 ] && says "setup: all packages present"'
check "fine: no word of the 32-bit side being off" eval '! says "win32 tests not run" && [ ! -e "$S/win32-off.txt" ]'

run transient yes FAKE_FAIL_INDEX="$updates_amd64" FAKE_FAIL_TIMES=1
check "an index that fails once: retried, nothing said, everything installed" \
  eval '[ $rc -eq 0 ] && [ "$(updates)" = 2 ] && ! says "could not be read" && all_required && has "wine32 i386"'

run index yes FAKE_FAIL_INDEX="$updates_amd64"
check "an index that keeps failing: exit 0 after 3 attempts" eval '[ $rc -eq 0 ] && [ "$(updates)" = 3 ]'
check "... says which index failed" says "the package index $updates_amd64 could not be read after 3 attempts; going on without it"
check "... and installs everything from the others" eval 'all_required && has "wine32 i386" && says "setup: all packages present"'

run held yes FAKE_FAIL_INDEX="$security_i386" FAKE_I386=held
check "an unresolvable 32-bit side: exit 0" test $rc -eq 0
check "... says the security suite's i386 index failed" says "the package index $security_i386 could not be read"
check "... installs wine32:i386 from the complete suites only, upgrading the 64-bit libraries" \
  eval 'has "wine32 i386" && has "libwine amd64 upgraded" && grep -q "install .*Dir::Etc::SourceList=.*wine32:i386" "$S/calls"'
check "... names those suites, without the failed one" \
  eval 'says "setup:   deb http://deb.debian.org/debian/ bookworm-updates main" && ! says "setup:   deb http://deb.debian.org/debian-security/"'
check "... and keeps the 32-bit side on" eval '! says "win32 tests not run" && grep -qx i386 "$S/archs"'

run never yes FAKE_FAIL_INDEX="$security_i386" FAKE_I386=never
check "no way to the 32-bit side: exit 0 with every 64-bit package" eval '[ $rc -eq 0 ] && all_required && ! has "wine32 i386"'
check "... one clear line with the reason" says "win32 tests not run: apt-get could not install wine32:i386: E: Unable to correct problems, you have held broken packages."
check "... recorded for the test command" grep -q "held broken packages" "$S/win32-off.txt"
check "... and the i386 architecture not left half-enabled" eval '! grep -qx i386 "$S/archs" && says "i386 architecture is disabled again"'

run no32 no
check "a machine without 32-bit code: exit 0, said, no i386 architecture, no wine32" \
  eval '[ $rc -eq 0 ] && says "does not execute 32-bit code" && ! grep -q i386 "$S/archs" && ! has "wine32 i386" && all_required'

run missing yes FAKE_UNAVAILABLE=nsis
check "a package the 64-bit tests need cannot be had: exit 1, naming it" \
  eval '[ $rc -eq 1 ] && says "setup: cannot install nsis, which the 64-bit build and its tests need" && says "Unable to locate package nsis"'
check "... every other package installed, and no i386 architecture left behind" eval 'all_required_but_nsis && ! grep -q i386 "$S/archs"'

source "$lib"
PRESET="$(for p in "${ts_setup_required[@]}"; do echo "$p amd64"; done; echo "wine32 i386")" run nothing yes
check "a machine that lacks nothing: exit 0, apt-get never called" eval '[ $rc -eq 0 ] && ! grep -q "^apt-get" "$S/calls"'

[ $failures -eq 0 ]
