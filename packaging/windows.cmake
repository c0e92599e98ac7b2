# The Windows package: a zip of one folder that runs from wherever it is
# unpacked. It holds the viewer, the Qt libraries and the platform plugin it
# loads, the compiler's runtime, and the licences: the project's, and Qt's
# LGPL, under which its libraries are passed on. Everything is stripped (Qt
# is installed stripped by scripts/qt-from-source.sh).
foreach(module Core Gui OpenGL Widgets)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)

# MinGW's C++ runtime, which the viewer and Qt link dynamically. Debian
# ships it with its debug sections (libstdc++ alone is 23 MB so), and
# CPack strips only what the project builds: the package takes stripped
# copies.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    set(stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime)
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${CMAKE_STRIP} could not strip ${path}")
    endif()
    install(FILES ${stripped} DESTINATION .)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
find_file(ORBITVIEWER_QT_LICENSE LGPL-3.0-only.txt PATHS ${QT6_INSTALL_PREFIX}/LICENSES NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH)
if(ORBITVIEWER_QT_LICENSE)
    install(FILES ${ORBITVIEWER_QT_LICENSE} DESTINATION . RENAME Qt-LGPL-3.0.txt)
else()
    message(WARNING "Qt's licence (LICENSES/LGPL-3.0-only.txt in Qt's prefix) not found: the zip goes without it")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_VENDOR "the orbitviewer authors")
set(CPACK_STRIP_FILES ON)
include(CPack)
