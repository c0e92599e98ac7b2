# Cross-builds for another Debian architecture with Debian's own multiarch
# packages: the cross compiler (crossbuild-essential-<arch>) and the target's
# libraries, Qt's among them, under /usr/lib/<triplet>. Qt's code generators
# (moc, rcc) run on the build machine: qt6-base-dev-tools of its own
# architecture, found through QT_HOST_PATH.
#
#   cmake -DORBITVIEWER_CROSS_TRIPLET=aarch64-linux-gnu \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake ...
if(NOT ORBITVIEWER_CROSS_TRIPLET)
    message(FATAL_ERROR "Set ORBITVIEWER_CROSS_TRIPLET to the target's multiarch triplet (e.g. aarch64-linux-gnu)")
endif()
# Try-compiles configure with this file again; they need the triplet too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORBITVIEWER_CROSS_TRIPLET)

set(CMAKE_SYSTEM_NAME Linux)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${ORBITVIEWER_CROSS_TRIPLET}")
set(CMAKE_LIBRARY_ARCHITECTURE ${ORBITVIEWER_CROSS_TRIPLET})
set(CMAKE_C_COMPILER ${ORBITVIEWER_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ORBITVIEWER_CROSS_TRIPLET}-g++)

# Libraries and headers come from the target's multiarch directories of this
# same system; programs (Xvfb, the compositors, moc) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(PKG_CONFIG_EXECUTABLE ${ORBITVIEWER_CROSS_TRIPLET}-pkg-config CACHE FILEPATH "pkg-config for the target")

set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${ORBITVIEWER_CROSS_TRIPLET}/cmake)
