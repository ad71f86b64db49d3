# Linux: an SDL window; sound through PulseAudio's protocol, else OpenAL Soft, else SDL;
# libopenmpt, libpng, zlib and (for --capture) FFmpeg from the system. This build also
# makes the data, the tests, the benchmarks and the null platform's program.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
find_package(Threads REQUIRED)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
if(ORVEL_CAPTURE)
  pkg_check_modules(FFMPEG IMPORTED_TARGET libavcodec libavformat libavutil libswscale)
endif()
set(ORVEL_ZLIB PkgConfig::ZLIB)

set(ORVEL_PLATFORM_SOURCES platform/posix.cpp display/window_sdl.cpp app/png_writer.cpp
  music/audio_backends.cpp music/audio_linux.cpp music/audio_pulse.cpp music/audio_openal.cpp music/audio_sdl.cpp)
set(ORVEL_PLATFORM_LIBRARIES PkgConfig::SDL2 PkgConfig::OPENAL PkgConfig::PULSE Threads::Threads PkgConfig::PNG)

macro(orvel_platform_programs)
  orvel_program(orvel orvel_platform)
  # The same program on the null platform: no window, no sound device.
  orvel_platform_library(orvel_platform_null "${ORVEL_NULL_SOURCES}" "")
  orvel_program(orvel_null orvel_platform_null)

  # Content makers: each tools/<name>/ has its own CMakeLists.txt.
  set(ORVEL_DATA_TARGETS)
  file(GLOB tool_dirs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt)
  list(SORT tool_dirs)
  foreach(tool_list IN LISTS tool_dirs)
    get_filename_component(tool_dir ${tool_list} DIRECTORY)
    add_subdirectory(${tool_dir})
  endforeach()

  if(ORVEL_TESTS)
    enable_testing()
    add_subdirectory(tests)
    add_subdirectory(fuzz)
  endif()
  if(ORVEL_BENCH)
    add_subdirectory(bench)
  endif()

  install(TARGETS orvel RUNTIME DESTINATION bin)
  # The data the build made; the installed program finds it from bin/../share/orvel.
  install(DIRECTORY ${CMAKE_BINARY_DIR}/gfx ${CMAKE_BINARY_DIR}/musica DESTINATION share/orvel OPTIONAL)
endmacro()
