# Cross-building for 64-bit Windows with Debian's mingw-w64 (the posix thread
# flavour, whose C++ library has std::thread and std::mutex).
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Programs are linked statically, so that they need no DLL beyond Windows' own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMAGRAB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMAGRAB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMAGRAB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMAGRAB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMAGRAB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The programs handed out carry no symbols, which are most of their size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
