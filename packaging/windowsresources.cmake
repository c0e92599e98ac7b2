# What Explorer shows of the executable: its icon, drawn from the same
# picture as the desktop entry's, and its version information (product,
# description, version, publisher, licence); and what it tells Windows. The icon is rendered at build
# time, at the sizes Windows picks from, by rsvg-convert (Debian's
# librsvg2-bin) and icotool (icoutils); where they are missing the
# executable goes without an icon, and configure says so.
find_program(RSVG_CONVERT_EXECUTABLE rsvg-convert)
find_program(ICOTOOL_EXECUTABLE icotool)
set(ORBITVIEWER_ICON ${CMAKE_CURRENT_BINARY_DIR}/orbitviewer.ico)
if(RSVG_CONVERT_EXECUTABLE AND ICOTOOL_EXECUTABLE)
    set(sizes 16 24 32 48 64 256)
    set(pictures)
    set(commands)
    foreach(size IN LISTS sizes)
        set(picture ${CMAKE_CURRENT_BINARY_DIR}/icon/${size}.png)
        list(APPEND pictures ${picture})
        list(APPEND commands COMMAND ${RSVG_CONVERT_EXECUTABLE} --width ${size} --height ${size}
            --output ${picture} ${CMAKE_CURRENT_SOURCE_DIR}/orbitviewer.svg)
    endforeach()
    # Windows reads the large size as PNG inside the icon; the small ones as
    # bitmaps, which every version of its icon reader takes.
    list(POP_BACK pictures large)
    add_custom_command(OUTPUT ${ORBITVIEWER_ICON}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icon
        ${commands}
        COMMAND ${ICOTOOL_EXECUTABLE} --create --output ${ORBITVIEWER_ICON} ${pictures} --raw=${large}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/orbitviewer.svg
        COMMENT "Drawing the Windows icon from orbitviewer.svg"
        VERBATIM)
    set(ORBITVIEWER_ICON_LINE "1 ICON \"${ORBITVIEWER_ICON}\"")
else()
    message(STATUS "rsvg-convert or icotool not found: the Windows executable goes without an icon")
    set(ORBITVIEWER_ICON)
    set(ORBITVIEWER_ICON_LINE)
endif()

# The application manifest: Windows 10 and 11 as the systems it is written
# for, and UTF-8 as its ANSI code page. Qt's entry point converts the wide
# command line to that code page before Qt reads its options, so without it
# letters outside the system's code page (an "Ω" on a Western system) reach
# Qt as "?" or as a look-alike. MSVC's linker embeds a manifest of its own
# making, into which it merges one listed as a source; MinGW's takes it from
# the resource script.
if(MSVC)
    target_sources(orbitviewer PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/orbitviewer.manifest)
    set(ORBITVIEWER_MANIFEST_LINE)
else()
    set(ORBITVIEWER_MANIFEST_LINE "1 24 \"${CMAKE_CURRENT_SOURCE_DIR}/orbitviewer.manifest\"")
endif()

set(ORBITVIEWER_PRODUCT_NAME "Orbit Viewer")
set(ORBITVIEWER_PUBLISHER "the orbitviewer authors")
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright REGEX "^Copyright ")
set(ORBITVIEWER_LEGAL_COPYRIGHT "${copyright}. MIT License")
configure_file(orbitviewer.rc.in orbitviewer.rc @ONLY)
target_sources(orbitviewer PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/orbitviewer.rc)
if(ORBITVIEWER_ICON)
    # The executable is defined elsewhere, where this directory's build rules
    # are not seen: a target of this directory draws the icon first.
    add_custom_target(orbitviewer_icon DEPENDS ${ORBITVIEWER_ICON})
    add_dependencies(orbitviewer orbitviewer_icon)
endif()
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/orbitviewer.rc TARGET_DIRECTORY orbitviewer
    PROPERTIES OBJECT_DEPENDS "${ORBITVIEWER_ICON};${CMAKE_CURRENT_SOURCE_DIR}/orbitviewer.manifest")
