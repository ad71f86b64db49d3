# The null platform alone (-DORVEL_PLATFORM=null): libopenmpt and nothing else from the
# system; no window, no sound device, no PNG snapshots. Offline runs work as everywhere;
# a live run fails to open its display. For porting: what a new platform starts from.
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
set(ORVEL_CAPTURE OFF)

set(ORVEL_PLATFORM_SOURCES ${ORVEL_NULL_SOURCES})
set(ORVEL_PLATFORM_LIBRARIES)

macro(orvel_platform_programs)
  orvel_program(orvel orvel_platform)
endmacro()
