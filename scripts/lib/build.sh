# Sourced by the scripts: configure and build each target once per folder.
# Compilers speak the build log's language, not the program's.
cmake() { LANG=C.UTF-8 command cmake "$@"; }
# TS_PACKAGE_CMAKE: more cmake options for both Windows builds (a packing-only build).
build_win64() {
  cmake -S "$TS_ROOT" -B "$TS_BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$TS_ROOT/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release ${TS_PACKAGE_CMAKE:-} "$@" >/dev/null
  cmake --build "$TS_BUILD/win64" -j"$(nproc)"
}
build_win32() {
  cmake -S "$TS_ROOT" -B "$TS_BUILD/win32" -DCMAKE_TOOLCHAIN_FILE="$TS_ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release ${TS_PACKAGE_CMAKE:-} >/dev/null
  cmake --build "$TS_BUILD/win32" -j"$(nproc)"
}
build_native() {
  cmake -S "$TS_ROOT" -B "$TS_BUILD/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$TS_BUILD/native" -j"$(nproc)"
}
build_fuzz() {
  cmake -S "$TS_ROOT" -B "$TS_BUILD/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMSEL_FUZZ=ON >/dev/null
  cmake --build "$TS_BUILD/fuzz" -j"$(nproc)" --target dib_fuzz records_fuzz host_reply_fuzz orientation_fuzz zip_fuzz
}
# Each build's plug-in host and test plug-ins beside the other build's, so
# that either viewer can use plug-ins of both kinds (only where the machine
# runs 32-bit programs: elsewhere the 32-bit host could not start anyway).
cross_copy_builds() {
  local a="$TS_BUILD/win64/bin" b="$TS_BUILD/win32/bin"
  [ -d "$a" ] && [ -d "$b" ] || return 0
  cp -p "$b/QuillmountHost32.exe" "$a/" 2>/dev/null || true
  cp -p "$a/QuillmountHost64.exe" "$b/" 2>/dev/null || true
  cp -p "$b/QuillmountHost32.exe" "$TS_BUILD/win64/Tamsel2/" 2>/dev/null || true
  cp -p "$a/QuillmountHost64.exe" "$TS_BUILD/win32/Tamsel2/" 2>/dev/null || true
  mkdir -p "$a/testplugins" "$b/testplugins"
  cp -p "$b"/testplugins/*.spi "$a/testplugins/" 2>/dev/null || true
  cp -p "$a"/testplugins/*.sph "$b/testplugins/" 2>/dev/null || true
}
