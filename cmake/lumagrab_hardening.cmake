# The hardening Debian gives its own packages (dpkg-buildflags with
# hardening=+all), for the optimised builds that get installed: fortified libc
# calls, stack protector and stack clash probes, control-flow protection,
# position-independent executables, and a read-only GOT bound at start-up.
#
# Each object records the switches it was compiled with
# (-frecord-gcc-switches, kept by strip), so that the installation tests can
# read from the shipped binaries that no part was built without them.
#
# Left out where they fight the instrumentation: the sanitizer and fuzz
# builds. The Windows build is static and has none of these ELF features.
if(WIN32 OR LUMAGRAB_SANITIZE OR LUMAGRAB_FUZZ)
  return()
endif()

# -fPIE for executables and -pie at their link (-fPIC where a library such
# as Qt asks for it).
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(hardened $<CONFIG:Release,RelWithDebInfo>)
# _FORTIFY_SOURCE needs the optimiser, which these two configurations run;
# it is undefined first so that a compiler that predefines it does not warn.
add_compile_options("$<${hardened}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
                    "$<${hardened}:-fstack-protector-strong;-fstack-clash-protection>"
                    "$<${hardened}:-fcf-protection;-frecord-gcc-switches>")
add_link_options("$<${hardened}:LINKER:-z,relro;LINKER:-z,now>")
