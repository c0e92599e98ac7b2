# What travels with a package that passes Qt on (the Windows packages, the
# web folder): the project's licence, Qt's licence texts, a note that says
# which Qt it is and where its source is, and THIRD-PARTY-NOTICES.txt, the
# notices of the third-party code compiled into Qt followed by those of the
# runtime the program links. A Qt built by scripts/qt-from-source.sh holds
# its note and notices in its prefix; for any other Qt they are set here,
# since nothing can tell where that Qt came from. Anything missing stops
# configure, saying what to set.
set(ORBITVIEWER_QT_SOURCE_NOTE ${QT6_INSTALL_PREFIX}/SOURCE.txt CACHE FILEPATH
    "Which Qt the packages carry, under which licence, and where its complete source is")
set(ORBITVIEWER_QT_NOTICES ${QT6_INSTALL_PREFIX}/THIRD-PARTY-NOTICES.txt CACHE FILEPATH
    "The notices of the third-party code compiled into the Qt the packages carry")

# The notices of the runtime a compiler links into or beside a program:
#
#   orbitviewer_runtime_notices(<variable> <file>...)
#
# sets <variable> to "<name>|<notice>" pairs: the copyright file of the Debian
# package each file comes from, or else what the compiler's own kit keeps for
# them (Qt's MinGW kit: licenses/ beside bin/; emsdk: the LICENSE beside
# emcc). Stops configure when neither is found.
function(orbitviewer_runtime_notices variable)
    set(notices)
    find_program(DPKG_EXECUTABLE dpkg)
    foreach(file IN LISTS ARGN)
        get_filename_component(file ${file} REALPATH)
        if(DPKG_EXECUTABLE)
            execute_process(COMMAND ${DPKG_EXECUTABLE} -S ${file} OUTPUT_VARIABLE owner
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
            string(REGEX REPLACE ":.*" "" package "${owner}")
            if(NOT failed AND EXISTS /usr/share/doc/${package}/copyright)
                list(APPEND notices "Debian's package ${package}|/usr/share/doc/${package}/copyright")
            endif()
        endif()
    endforeach()
    get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
    foreach(kit ${compiler_dir}/../licenses ${compiler_dir}/LICENSE)
        if(NOT notices AND EXISTS ${kit})
            get_filename_component(kit ${kit} REALPATH)
            list(APPEND notices "the compiler's kit|${kit}")
        endif()
    endforeach()
    # Visual C++'s runtime goes under its redistribution terms alone.
    if(NOT notices AND NOT MSVC)
        message(FATAL_ERROR "No licence notice found for the runtime of ${CMAKE_CXX_COMPILER} (${ARGN})")
    endif()
    list(REMOVE_DUPLICATES notices)
    set(${variable} ${notices} PARENT_SCOPE)
endfunction()

#   orbitviewer_licence_files(<folder> <runtime>|<notice>...)
#
# writes the files into <folder>, the runtime's notices
# (orbitviewer_runtime_notices) into THIRD-PARTY-NOTICES.txt after Qt's, each
# a component of its own.
function(orbitviewer_licence_files folder)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${folder}/LICENSE.txt COPYONLY)
    foreach(licence LGPL GPL)
        # Qt's installer keeps the texts in its Licenses folder, two levels above a kit.
        find_file(ORBITVIEWER_QT_${licence} ${licence}-3.0-only.txt PATHS ${QT6_INSTALL_PREFIX}/LICENSES
            ${QT6_INSTALL_PREFIX}/../../Licenses NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        if(NOT ORBITVIEWER_QT_${licence})
            message(FATAL_ERROR "Qt's ${licence} text (${licence}-3.0-only.txt) is not in ${QT6_INSTALL_PREFIX}/LICENSES: "
                "set ORBITVIEWER_QT_${licence} to it; the packages link Qt and must carry it")
        endif()
        configure_file(${ORBITVIEWER_QT_${licence}} ${folder}/Qt-${licence}-3.0.txt COPYONLY)
    endforeach()
    if(NOT EXISTS "${ORBITVIEWER_QT_SOURCE_NOTE}")
        message(FATAL_ERROR "Nothing says which Qt this is and where its source is (no ${ORBITVIEWER_QT_SOURCE_NOTE}): "
            "set ORBITVIEWER_QT_SOURCE_NOTE to a note that names this Qt's version, its licence and where its "
            "complete source can be had")
    endif()
    if(NOT EXISTS "${ORBITVIEWER_QT_NOTICES}")
        message(FATAL_ERROR "No notices of the third-party code compiled into this Qt (no ${ORBITVIEWER_QT_NOTICES}): "
            "set ORBITVIEWER_QT_NOTICES to them")
    endif()
    configure_file(${ORBITVIEWER_QT_SOURCE_NOTE} ${folder}/Qt-SOURCE.txt COPYONLY)

    file(READ ${ORBITVIEWER_QT_NOTICES} notices)
    foreach(runtime IN LISTS ARGN)
        string(REPLACE "|" ";" runtime "${runtime}")
        list(GET runtime 0 name)
        list(GET runtime 1 path)
        set(texts ${path})
        if(IS_DIRECTORY ${path})
            file(GLOB_RECURSE texts ${path}/*)
        endif()
        string(APPEND notices "\n\n==============================================================================\n"
            "Component: the compiler's runtime (notices from ${name})\n")
        foreach(text IN LISTS texts)
            file(READ ${text} content)
            string(APPEND notices "\n${content}")
        endforeach()
    endforeach()
    file(WRITE ${folder}/THIRD-PARTY-NOTICES.txt "${notices}")
endfunction()
