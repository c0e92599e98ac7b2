# CPack's packages for Windows: the zip, and an installer made with NSIS
# (Debian's nsis, or NSIS on Windows) where makensis is found.
#
# The installer installs for the whole machine under Program Files, adds
# the Start-menu shortcut "Orbit Viewer", and registers its uninstaller under
# Apps with the name, version and publisher. Its registry key does not
# change with the version, so that a newer installer finds the older
# installation, runs its uninstaller (silently when it is itself silent)
# and installs in its place.
set(CPACK_PACKAGE_VENDOR "${ORBITVIEWER_PUBLISHER}")
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-x64)
# The checks look for the packages by name (tests/windows.cmake).
set(ORBITVIEWER_WINDOWS_PACKAGE ${CPACK_PACKAGE_FILE_NAME} PARENT_SCOPE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${ORBITVIEWER_PRODUCT_NAME}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_PACKAGE_EXECUTABLES orbitviewer "${ORBITVIEWER_PRODUCT_NAME}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Values reach cpack as they are written here, quotes and backslashes included.
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_NSIS_PACKAGE_NAME "${ORBITVIEWER_PRODUCT_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${ORBITVIEWER_PRODUCT_NAME}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ${ORBITVIEWER_WINDOWS_BINDIR})
if(ORBITVIEWER_WINDOWS_BINDIR STREQUAL ".")
    set(CPACK_NSIS_INSTALLED_ICON_NAME orbitviewer.exe)
else()
    set(CPACK_NSIS_INSTALLED_ICON_NAME ${ORBITVIEWER_WINDOWS_BINDIR}\\orbitviewer.exe)
endif()
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for a 64-bit program: it sees the 64-bit Program Files
# and registry as the program does, and runs where 32-bit programs cannot
# (Wine without its 32-bit part, Windows on ARM without x86 emulation).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
if(ORBITVIEWER_ICON)
    set(CPACK_NSIS_MUI_ICON ${ORBITVIEWER_ICON})
    set(CPACK_NSIS_MUI_UNIICON ${ORBITVIEWER_ICON})
endif()
# The uninstaller removes the publisher's key too, which the installer made
# as the parent of its own, once nothing else is under it. CPack's
# uninstaller runs these lines after it has removed its own key.
set(CPACK_NSIS_DELETE_ICONS_EXTRA "DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")
# The installer's file name says what it is, beside the zip's.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/windowscpackconfig.cmake)

find_program(MAKENSIS_EXECUTABLE makensis)
if(MAKENSIS_EXECUTABLE)
    set(CPACK_GENERATOR ZIP NSIS)
else()
    message(STATUS "makensis (NSIS) not found: cpack makes the zip only, no installer")
    set(CPACK_GENERATOR ZIP)
endif()
include(CPack)
