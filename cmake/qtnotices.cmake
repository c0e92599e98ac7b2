# The notices of the third-party code a Qt build compiled in, from the
# attribution files (qt_attribution.json) of Qt's own source tree: each
# component a compiled file belongs to, with its copyright and licence text.
#
#   cmake -DSOURCE=<Qt's source> -DCOMPILED=<file> -DOUTPUT=<notices file> -P qtnotices.cmake
#
# COMPILED lists the source tree's files the build read, relative to SOURCE,
# one a line (what the compiler's dependency files named). A component with
# no licence (public domain) has its copyright statement alone. A compiled
# file under a 3rdparty folder that no attribution covers stops the script,
# naming it: a component must not go without its notice.

cmake_minimum_required(VERSION 3.25)

file(STRINGS ${COMPILED} compiled)
# Ninja also records CMake's own files, for regenerating the build; they are
# not compiled in.
list(FILTER compiled EXCLUDE REGEX "(\\.cmake|CMakeLists\\.txt)$")
file(GLOB_RECURSE attributions RELATIVE ${SOURCE} ${SOURCE}/*/qt_attribution.json)
list(FILTER attributions EXCLUDE REGEX "(^|/)(tests|examples)/")
list(SORT attributions)

# Sets <variable> to the compiled files under one of the paths given,
# relative to SOURCE: each is a file, or a folder meaning all below it.
function(compiled_under variable)
    set(found)
    foreach(path IN LISTS ARGN)
        foreach(file IN LISTS compiled)
            string(FIND "${file}/" "${path}/" at)
            if(at EQUAL 0)
                list(APPEND found ${file})
            endif()
        endforeach()
    endforeach()
    set(${variable} ${found} PARENT_SCOPE)
endfunction()

# Sets <variable> to member <key> of JSON object <json>, empty when it has none.
function(json_member variable json key)
    string(JSON value ERROR_VARIABLE missing GET "${json}" ${key})
    if(missing)
        set(value "")
    endif()
    set(${variable} "${value}" PARENT_SCOPE)
endfunction()

set(notices "")
set(covered)
set(used)
foreach(attribution IN LISTS attributions)
    get_filename_component(base ${attribution} DIRECTORY)
    file(READ ${SOURCE}/${attribution} json)
    string(JSON type TYPE "${json}")
    if(type STREQUAL "OBJECT")
        set(json "[${json}]")
    endif()
    string(JSON last LENGTH "${json}")
    math(EXPR last "${last} - 1")
    foreach(index RANGE ${last})
        string(JSON entry GET "${json}" ${index})
        foreach(key Name Version QtUsage License LicenseId Copyright Path Files LicenseFile LicenseFiles)
            json_member(${key} "${entry}" ${key})
        endforeach()
        # Files also holds prose ("No upstream; treat as final") where the
        # code is generated: the whole folder is the component then.
        set(paths)
        if(Path)
            set(paths ${base}/${Path})
        else()
            separate_arguments(files UNIX_COMMAND "${Files}")
            foreach(file IN LISTS files)
                if(EXISTS ${SOURCE}/${base}/${file})
                    list(APPEND paths ${base}/${file})
                endif()
            endforeach()
        endif()
        if(NOT paths)
            set(paths ${base})
        endif()
        compiled_under(files ${paths})
        if(NOT files)
            continue()
        endif()
        if(Version)
            set(Version " ${Version}")
        endif()
        set(spdx "")
        if(LicenseId)
            set(spdx " (${LicenseId})")
        endif()
        list(APPEND covered ${files})
        list(APPEND used ${base})

        set(texts)
        if(LicenseFiles)
            string(JSON count LENGTH "${LicenseFiles}")
            math(EXPR count "${count} - 1")
            foreach(file_index RANGE ${count})
                string(JSON file GET "${LicenseFiles}" ${file_index})
                list(APPEND texts ${base}/${file})
            endforeach()
        elseif(LicenseFile)
            list(APPEND texts ${base}/${LicenseFile})
        elseif(LicenseId)
            list(APPEND texts LICENSES/${LicenseId}.txt)
        endif()
        string(APPEND notices "\n\n==============================================================================\n"
            "Component: ${Name}${Version}\n" "${QtUsage}\n" "Licence: ${License}${spdx}\n\n"
            "${Copyright}\n")
        foreach(text IN LISTS texts)
            get_filename_component(text ${SOURCE}/${text} ABSOLUTE)
            if(NOT EXISTS ${text})
                message(FATAL_ERROR "${Name} (${attribution}) is compiled in, but its licence text ${text} is missing")
            endif()
            file(READ ${text} content)
            string(APPEND notices "\n${content}")
        endforeach()
    endforeach()
endforeach()

# Qt's attributions do not list every header of a component (sha3's
# settings headers): a file their list leaves out is covered when the folder
# of its nearest attribution file gave a notice.
set(uncovered ${compiled})
list(REMOVE_ITEM uncovered ${covered})
list(FILTER uncovered INCLUDE REGEX "(^|/)3rdparty/")
foreach(file IN LISTS uncovered)
    get_filename_component(folder ${file} DIRECTORY)
    while(folder AND NOT EXISTS ${SOURCE}/${folder}/qt_attribution.json)
        get_filename_component(folder ${folder} DIRECTORY)
    endwhile()
    if(folder IN_LIST used)
        list(REMOVE_ITEM uncovered ${file})
    endif()
endforeach()
if(uncovered)
    list(JOIN uncovered "\n  " uncovered)
    message(FATAL_ERROR "These compiled files are third-party code that no qt_attribution.json covers:\n  ${uncovered}")
endif()
if(NOT notices)
    message(FATAL_ERROR "No attributed third-party code among the ${COMPILED} files: is the list empty?")
endif()
file(WRITE ${OUTPUT} "Third-party code compiled into these Qt libraries, as Qt's source attributes it\n"
    "(qt_attribution.json), with the copyright and licence of each.${notices}")
