# Windows, cross-built with windows/toolchain.cmake: SDL for the window and the sound (WASAPI,
# else DirectSound), with SDL, libopenmpt and libpng built by windows/build-libraries.sh into
# ORVEL_WINDOWS_SYSROOT, and mingw-w64's zlib, all linked statically. The program alone: the
# data, the tests and the benchmarks are the native build's.
set(ORVEL_WINDOWS_SYSROOT "" CACHE PATH "where windows/build-libraries.sh installed the libraries")
set(ENV{PKG_CONFIG_LIBDIR} "${ORVEL_WINDOWS_SYSROOT}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# Each library with what it needs in turn. SDL's own main is not used.
foreach(module SDL2:sdl2 OPENMPT:libopenmpt PNG:libpng ZLIB:zlib)
  string(REPLACE ":" ";" module ${module})
  list(GET module 0 prefix)
  list(GET module 1 name)
  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${name})
  set(flags ${${prefix}_STATIC_LDFLAGS})
  list(REMOVE_ITEM flags -lmingw32 -lSDL2main -mwindows)
  set_target_properties(PkgConfig::${prefix} PROPERTIES INTERFACE_LINK_LIBRARIES "${flags}")
endforeach()
if(ORVEL_CAPTURE)
  pkg_check_modules(FFMPEG IMPORTED_TARGET libavcodec libavformat libavutil libswscale)
endif()
set(ORVEL_ZLIB PkgConfig::ZLIB)

set(ORVEL_PLATFORM_SOURCES platform/windows.cpp display/window_sdl.cpp app/png_writer.cpp
  music/audio_backends.cpp music/audio_windows.cpp music/audio_sdl.cpp)
set(ORVEL_PLATFORM_LIBRARIES PkgConfig::SDL2 PkgConfig::PNG)

macro(orvel_platform_programs)
  orvel_program(orvel orvel_platform)
  add_subdirectory(windows)
endmacro()
