# The Windows deliverables and their tests (win64 runs them under Wine).
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(TAMSEL_WARNINGS -Wall -Wextra -Wno-cast-function-type)
# No link time and no build folder in the files: the same commit builds to the
# same bytes, and so packs to the same release archives.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)

add_library(tamsel_forms STATIC
  forms/form.cpp
  forms/menu.cpp
  forms/dialog_controls.cpp
  forms/controls.cpp
  forms/dialogs.cpp
  forms/picture.cpp
  forms/screen.cpp
)
# comdlg32, shell32 and version are loaded on first use (forms/system_library.h), not at start.
target_link_libraries(tamsel_forms PUBLIC tamsel_core ole32 oleaut32 uuid gdi32 user32)
target_compile_options(tamsel_forms PRIVATE ${TAMSEL_WARNINGS})

# The pixel buffer library: five undecorated exports (stdcall on 32-bit).
add_library(Rastel SHARED pixelbuffer/rastel.cpp pixelbuffer/Rastel.def)
set_target_properties(Rastel PROPERTIES PREFIX "" OUTPUT_NAME Rastel)
target_link_options(Rastel PRIVATE $<$<CONFIG:Release>:-s>)
target_include_directories(Rastel PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Rastel PRIVATE gdi32)
target_compile_options(Rastel PRIVATE ${TAMSEL_WARNINGS})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
  target_link_options(Rastel PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The control library's type library and interface header, from its IDL.
find_program(WIDL NAMES ${TOOLCHAIN_PREFIX}-widl widl REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WIDL_TARGET --win64)
  set(WINE_PE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
  set(WIDL_TARGET --win32)
  set(WINE_PE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)  # stdole2.tlb: only its types are used
endif()
set(QM_GEN ${CMAKE_BINARY_DIR}/generated)
# The type library carries the time it was made: a fixed one, so that the
# same source always gives the same library (and the release the same bytes).
# Frozen (-f, no "@"): a clock that only starts there would tick on into the
# library's stamp whenever widl takes past a second boundary.
find_program(FAKETIME faketime REQUIRED)
add_custom_command(
  OUTPUT ${QM_GEN}/Quillmount_h.h ${QM_GEN}/Quillmount_i.c ${QM_GEN}/Quillmount.tlb
  COMMAND ${FAKETIME} -f "2026-01-01 00:00:00" ${WIDL} ${WIDL_TARGET} -I/usr/include/wine/wine/windows -L ${WINE_PE_DIR}
          -h -H ${QM_GEN}/Quillmount_h.h -u -U ${QM_GEN}/Quillmount_i.c -t -T ${QM_GEN}/Quillmount.tlb
          ${CMAKE_SOURCE_DIR}/pluginhost/control/Quillmount.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/pluginhost/control/Quillmount.idl)

# The Susie core (plug-ins, trial, the host processes' client) and the
# control on top of it; the host process links only the core. Tests link
# these directly.
add_library(quillmount_susie STATIC
  pluginhost/susie/SPIFunction.cpp
  pluginhost/susie/SPIFile.cpp
  pluginhost/susie/SPIModule.cpp
  pluginhost/susie/SPIManager.cpp
  pluginhost/susie/plugin_trial.cpp
  pluginhost/susie/description_cache.cpp
  pluginhost/host/host_client.cpp
)
target_link_libraries(quillmount_susie PUBLIC tamsel_core ole32 oleaut32 uuid gdi32 user32 advapi32)
target_compile_options(quillmount_susie PRIVATE ${TAMSEL_WARNINGS})
add_library(quillmount_host STATIC
  pluginhost/control/SusiePlugin.cpp
  pluginhost/control/registration.cpp
  ${QM_GEN}/Quillmount_i.c
  ${QM_GEN}/Quillmount_h.h
)
target_include_directories(quillmount_host PUBLIC ${QM_GEN})
target_link_libraries(quillmount_host PUBLIC quillmount_susie)
target_compile_options(quillmount_host PRIVATE ${TAMSEL_WARNINGS})

# Quillmount.dll: the in-process COM server of the control SusiePlugin.
add_library(Quillmount SHARED pluginhost/control/quillmount_dll.cpp
  pluginhost/control/Quillmount.def pluginhost/control/Quillmount.rc)
set_target_properties(Quillmount PROPERTIES PREFIX "" OUTPUT_NAME Quillmount)
target_link_options(Quillmount PRIVATE $<$<CONFIG:Release>:-s>)
target_link_libraries(Quillmount PRIVATE quillmount_host)
target_include_directories(Quillmount PRIVATE ${QM_GEN})
set_source_files_properties(pluginhost/control/Quillmount.rc PROPERTIES OBJECT_DEPENDS ${QM_GEN}/Quillmount.tlb)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
  target_link_options(Quillmount PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The plug-in host process of this build's bitness, which the control starts
# from its own folder: QuillmountHost64.exe or QuillmountHost32.exe.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUILLMOUNT_HOST QuillmountHost64)
else()
  set(QUILLMOUNT_HOST QuillmountHost32)
endif()
add_executable(QuillmountHost WIN32 pluginhost/host/host_main.cpp resources/manifest.rc)
set_target_properties(QuillmountHost PROPERTIES OUTPUT_NAME ${QUILLMOUNT_HOST})
target_link_libraries(QuillmountHost PRIVATE quillmount_susie)
target_include_directories(QuillmountHost PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_link_options(QuillmountHost PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_compile_options(QuillmountHost PRIVATE ${TAMSEL_WARNINGS})
add_dependencies(Quillmount QuillmountHost)

# Everything of the program but its entry point, so tests drive the real code.
add_library(tamsel_app STATIC
  app/settings.cpp
  app/settings_store.cpp
  app/file_system_win.cpp
  app/window_procs.cpp
  app/open_with.cpp
  app/main.cpp
  engine/frmBackground.cpp
  engine/loading.cpp
  engine/picture_services.cpp
  engine/wic_decoder.cpp
  engine/archive.cpp
  engine/decode_job.cpp
  engine/read_ahead.cpp
  engine/view_stage.cpp
  engine/wic_formats.cpp
  engine/susie_plugin.cpp
  engine/rastel_library.cpp
  engine/scaling.cpp
  engine/render_job.cpp
  engine/view_size.cpp
  engine/turning.cpp
  engine/save_copy_paste.cpp
  windows/frmNormal.cpp
  windows/frmNoTitleFrame.cpp
  windows/frmMini.cpp
  windows/frmPopupMenu.cpp
  windows/viewer_menus.cpp
  dialogs/dialog_form.cpp
  dialogs/frmOptions.cpp
  dialogs/frmDialogTile.cpp
  dialogs/frmDialogViewSize.cpp
  dialogs/frmVersion.cpp
)
target_link_libraries(tamsel_app PUBLIC tamsel_forms advapi32)
target_compile_options(tamsel_app PRIVATE ${TAMSEL_WARNINGS})

add_executable(Tamsel2 WIN32 app/winmain.cpp resources/Tamsel2.rc resources/manifest.rc)
set_source_files_properties(resources/manifest.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/Tamsel2.manifest)
target_link_libraries(Tamsel2 PRIVATE tamsel_app)
add_dependencies(Tamsel2 Rastel Quillmount)  # loaded at run time, shipped beside the program
target_link_options(Tamsel2 PRIVATE -municode $<$<CONFIG:Release>:-s>)
set_source_files_properties(resources/Tamsel2.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/Tamsel2.ico;${CMAKE_SOURCE_DIR}/resources/hand.cur;${CMAKE_SOURCE_DIR}/resources/resource.h;${CMAKE_SOURCE_DIR}/resources/logo.jpg")
target_include_directories(Tamsel2 PRIVATE ${CMAKE_SOURCE_DIR}/resources)

# The default picture is installed next to the program.
add_custom_command(TARGET Tamsel2 POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/resources/ts2image.JPG $<TARGET_FILE_DIR:Tamsel2>/ts2image.JPG)

# The help file, compiled from help/ and installed next to the program.
find_program(CHMCMD chmcmd REQUIRED)
file(GLOB HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
set(HELP_OUT ${CMAKE_BINARY_DIR}/help)
add_custom_command(
  OUTPUT ${HELP_OUT}/Tamsel2.chm
  COMMAND sh ${CMAKE_SOURCE_DIR}/help/make_help.sh ${CMAKE_SOURCE_DIR}/help ${HELP_OUT} ${CHMCMD}
  DEPENDS ${HELP_SOURCES})
add_custom_target(help_file ALL DEPENDS ${HELP_OUT}/Tamsel2.chm)
add_custom_command(TARGET help_file POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${HELP_OUT}/Tamsel2.chm $<TARGET_FILE_DIR:Tamsel2>/Tamsel2.chm)
add_dependencies(help_file Tamsel2)

# What ships, in a folder of its own (build/<target>/Tamsel2): the program,
# its two libraries, the plug-in host of this bitness (the scripts add the
# other bitness's), the default picture and the help file. bin/ keeps
# everything else, the tests and their data among it.
set(TAMSEL_DELIVERY ${CMAKE_BINARY_DIR}/Tamsel2)
add_custom_target(deliverables ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAMSEL_DELIVERY}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Tamsel2> $<TARGET_FILE:Quillmount> $<TARGET_FILE:Rastel>
          $<TARGET_FILE:QuillmountHost> ${CMAKE_SOURCE_DIR}/resources/ts2image.JPG ${HELP_OUT}/Tamsel2.chm
          ${TAMSEL_DELIVERY}
  VERBATIM)
add_dependencies(deliverables Tamsel2 Quillmount Rastel QuillmountHost help_file)

# Benchmarks: the high-quality scaler against its literal definition, and the
# whole program beside tamsel2-bare, the least program that shows a picture.
add_executable(tamsel2-bare WIN32 bench/bare_viewer.cpp)
target_link_libraries(tamsel2-bare PRIVATE ole32 oleaut32 uuid gdi32 user32)
target_link_options(tamsel2-bare PRIVATE -municode $<$<CONFIG:Release>:-s>)
add_executable(tamsel2-bench bench/bench_main.cpp bench/whole_program.cpp)
target_link_libraries(tamsel2-bench PRIVATE tamsel_app tamsel_literal quillmount_host)
target_link_options(tamsel2-bench PRIVATE -municode)
add_dependencies(tamsel2-bench Rastel Quillmount QuillmountHost Tamsel2 tamsel2-bare)
# Photograph-like pictures around one colour, which the start-up benchmark
# recognises on the screen.
find_program(MAGICK_CONVERT convert)
if(MAGICK_CONVERT)
  set(BENCH_DATA ${CMAKE_BINARY_DIR}/bin/benchdata)
  add_custom_command(OUTPUT ${BENCH_DATA}/photo4000.jpg ${BENCH_DATA}/photo6000.jpg
    COMMAND sh ${CMAKE_SOURCE_DIR}/bench/make_pictures.sh ${MAGICK_CONVERT} ${BENCH_DATA}
    DEPENDS ${CMAKE_SOURCE_DIR}/bench/make_pictures.sh)
  add_custom_target(bench_pictures DEPENDS ${BENCH_DATA}/photo4000.jpg ${BENCH_DATA}/photo6000.jpg)
  add_dependencies(tamsel2-bench bench_pictures)
endif()

option(TAMSEL_TESTS "Build the tests" ON)
if(TAMSEL_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/plugins)
  add_subdirectory(tests/win)
endif()
