# Writes what a reader needs to build the same Qt libraries again, as
# scripts/qt-from-source.sh built them: the source package and where to get
# it, what was changed in it, the compiler, and the exact configuration, with
# any file it names written out in full.
#
#   cmake -DNAME=<configuration> -DVERSION=<qt6-base's Debian version> -DSOURCE=<its source>
#         -DCOMPILER=<C++ compiler> -DOUTPUT=<file> -P qtsourcenote.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/qtconfigurations.cmake)
# The checkout's path means nothing to the reader.
get_filename_component(checkout ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)

string(REGEX REPLACE "\\+.*" "" upstream "${VERSION}")
get_filename_component(source_name ${SOURCE} NAME)
file(STRINGS ${SOURCE}/debian/patches/series patches REGEX "^[ \t]*[^ \t#]")
list(JOIN patches "\n  " patches)

execute_process(COMMAND ${COMPILER} --version OUTPUT_VARIABLE compiler)
string(REGEX MATCH "^[^\n]*" compiler "${compiler}")
file(REAL_PATH ${COMPILER} real)
execute_process(COMMAND dpkg -S ${real} OUTPUT_VARIABLE owner ERROR_QUIET)
string(REGEX MATCH "^[^:\n]+" package "${owner}")
if(package)
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${package} OUTPUT_VARIABLE package_version)
    string(APPEND compiler ", from Debian's package ${package} ${package_version}")
endif()

set(files "")
foreach(option IN LISTS qt_options)
    string(REGEX REPLACE "^[^=]*=" "" value "${option}")
    if(IS_ABSOLUTE "${value}" AND EXISTS "${value}" AND NOT IS_DIRECTORY "${value}")
        file(READ ${value} content)
        string(REGEX REPLACE "\n+$" "" content "${content}")
        string(REPLACE "\n" "\n  " content "  ${content}")
        string(APPEND files "\n${value}:\n\n${content}\n")
    endif()
endforeach()
list(JOIN qt_options " \\\n      " options)

set(note "The Qt libraries and plugins in this package are Qt ${upstream}, built (${NAME}) from
Debian's source package qt6-base, version ${VERSION}.

${qt_licence_note}

The complete source, as built:

  https://snapshot.debian.org/package/qt6-base/${VERSION}/
  or, on Debian: apt-get source qt6-base=${VERSION}

It was built with Debian's patches, which that source applies
(debian/patches/series), and no change of ours:

  ${patches}

Compiler: ${compiler}

${qt_note_extra}Configured, built and installed with CMake and Ninja:

  cmake -S ${source_name} -B build -G Ninja -DCMAKE_INSTALL_PREFIX=<prefix> \\
      ${options}
  cmake --build build
  cmake --install build --strip
${files}")
string(REPLACE "${checkout}/" "" note "${note}")
file(WRITE ${OUTPUT} "${note}")
