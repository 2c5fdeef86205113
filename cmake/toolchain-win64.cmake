# Cross build for 64-bit Windows with mingw-w64 (posix thread model: the
# win32 one of GCC 12 has no std::mutex) against the SDK of
# scripts/windows/sdk:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake \
#         -DLUMORAN_WIN_SDK=<sdk> -DLUMORAN_HOST_TOOLS=<Linux build>/bin
# scripts/windows/build does exactly this.
#
# The build runs a few of the project's own programs (the picture renderer,
# the manual printer) and Qt's lrelease; those are Linux programs: the first
# two from a Linux build of this project (LUMORAN_HOST_TOOLS), lrelease and
# lupdate from Debian's Qt.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMORAN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMORAN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMORAN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMORAN_MINGW}-windres)

if(NOT LUMORAN_WIN_SDK)
    if(DEFINED ENV{LUMORAN_WIN_SDK})
        set(LUMORAN_WIN_SDK $ENV{LUMORAN_WIN_SDK})
    else()
        set(LUMORAN_WIN_SDK $ENV{HOME}/.cache/lumoran-win-sdk)
    endif()
endif()
set(LUMORAN_WIN_SDK ${LUMORAN_WIN_SDK} CACHE PATH "Qt and Botan for Windows (scripts/windows/sdk)")
if(NOT EXISTS ${LUMORAN_WIN_SDK}/qt/lib/cmake/Qt5/Qt5Config.cmake)
    message(FATAL_ERROR "No Windows SDK in ${LUMORAN_WIN_SDK}: run scripts/windows/sdk (or set LUMORAN_WIN_SDK)")
endif()

# Libraries, headers and packages only from the SDK and the tool chain;
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH ${LUMORAN_WIN_SDK}/qt ${LUMORAN_WIN_SDK}/botan /usr/${LUMORAN_MINGW})
set(CMAKE_PREFIX_PATH ${LUMORAN_WIN_SDK}/qt)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Botan's pkg-config file names its folder relative to itself.
set(ENV{PKG_CONFIG_LIBDIR} ${LUMORAN_WIN_SDK}/botan/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# lrelease and lupdate run on the build machine: Debian's, of the same Qt version.
set(Qt5LinguistTools_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools CACHE PATH "Qt's translation tools (host)")

# The tool chain's run-time libraries, installed next to the programs.
set(LUMORAN_MINGW_RUNTIME_DIRS /usr/lib/gcc/${LUMORAN_MINGW}/12-posix /usr/${LUMORAN_MINGW}/lib)

# try_compile projects read this file again without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMORAN_WIN_SDK)

# ctest runs the tests under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run)
