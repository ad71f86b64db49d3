# A web page (emscripten): the page's canvas and Web Audio, with libopenmpt built for
# WebAssembly by web/build-libopenmpt.sh into ORVEL_WEB_SYSROOT. No PNG snapshots, no
# capture, and the CRC-32 of our own.
set(ORVEL_WEB_SYSROOT "" CACHE PATH "where web/build-libopenmpt.sh installed libopenmpt")
if(NOT EXISTS ${ORVEL_WEB_SYSROOT}/lib/libopenmpt.a)
  message(FATAL_ERROR "no libopenmpt for WebAssembly in ORVEL_WEB_SYSROOT: run web/build-libopenmpt.sh")
endif()
# WebAssembly's 128-bit SIMD, which every browser of the last years runs.
add_compile_options(-msimd128)
add_library(PkgConfig::OPENMPT STATIC IMPORTED)
set_target_properties(PkgConfig::OPENMPT PROPERTIES IMPORTED_LOCATION ${ORVEL_WEB_SYSROOT}/lib/libopenmpt.a
  INTERFACE_INCLUDE_DIRECTORIES ${ORVEL_WEB_SYSROOT}/include)
set(ORVEL_CAPTURE OFF)

set(ORVEL_PLATFORM_SOURCES platform/posix.cpp display/window_web.cpp music/audio_web.cpp app/png_none.cpp)
set(ORVEL_PLATFORM_LIBRARIES)

macro(orvel_platform_programs)
  add_subdirectory(web)
endmacro()
