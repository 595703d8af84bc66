# Host build: the Windows-free logic under AddressSanitizer and UBSan.
set(TAMSEL_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
target_compile_options(tamsel_core PRIVATE ${TAMSEL_SANITIZE})
target_compile_options(tamsel_literal PRIVATE ${TAMSEL_SANITIZE})
target_link_options(tamsel_core PUBLIC ${TAMSEL_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_subdirectory(tests/native)

# Fuzz targets need clang's libFuzzer: built in their own folder (TAMSEL_FUZZ).
option(TAMSEL_FUZZ "Build the libFuzzer targets" OFF)
if(TAMSEL_FUZZ)
  add_subdirectory(tests/fuzz)
endif()
