# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix threads, as
# Qt needs for std::thread): g++-mingw-w64-x86-64-posix. Qt's code generators
# (moc, rcc) run on the build machine: Debian's qt6-base-dev-tools, found
# through QT_HOST_PATH. The Windows Qt itself is built from Debian's source
# by scripts/windows.sh and named by CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORBITVIEWER_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORBITVIEWER_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBITVIEWER_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBITVIEWER_MINGW_TRIPLET}-windres)

# Libraries and headers come from MinGW's own tree and from the Windows Qt;
# programs (moc, rcc, wine) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${ORBITVIEWER_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CMAKE_PREFIX_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host tools' CMake packages live in Debian's multiarch directory of the
# build machine.
execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE host_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${host_multiarch}/cmake)
