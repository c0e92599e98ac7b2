# The Windows packages: a zip of one folder that runs from wherever it is
# unpacked, and an installer (NSIS) that puts the same folder under Program
# Files with a Start-menu shortcut and an entry under Apps. Both hold the
# viewer, the Qt libraries and the platform plugin it loads, the compiler's
# runtime, and the licences and notices that come with each.
#
# A native build deploys through Qt's own tool (windeployqt), which knows
# every kit's layout and compiler. A build cross-compiled on Debian cannot run
# that tool, so there the files are listed by hand.
if(CMAKE_CROSSCOMPILING)
    set(ORBITVIEWER_WINDOWS_BINDIR .)
else()
    set(ORBITVIEWER_WINDOWS_BINDIR ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS orbitviewer RUNTIME DESTINATION ${ORBITVIEWER_WINDOWS_BINDIR})

include(windowsresources.cmake)

if(CMAKE_CROSSCOMPILING)
    foreach(module Core Gui OpenGL Widgets)
        install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
    endforeach()
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)

    # MinGW's C++ runtime, which the viewer and Qt link dynamically. Debian
    # ships it with its debug sections (libstdc++ alone is 23 MB so), and
    # CPack strips only what the project builds: the package takes stripped
    # copies.
    include(${PROJECT_SOURCE_DIR}/cmake/mingw-runtime.cmake)
    orbitviewer_mingw_runtime(runtime)
    message(STATUS "MinGW's runtime for the packages: ${runtime}")
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime)
    foreach(path IN LISTS runtime)
        get_filename_component(dll ${path} NAME)
        set(stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll})
        execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path} RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${CMAKE_STRIP} could not strip ${path}")
        endif()
        install(FILES ${stripped} DESTINATION .)
    endforeach()
else()
    # Qt's deployment tool gathers the Qt libraries, plugins and the
    # compiler's runtime for MinGW kits. For MSVC it would only copy Visual
    # C++'s redistributable installer, so its runtime DLLs are installed
    # beside the viewer, which then needs no installer of its own.
    if(Qt6_VERSION VERSION_LESS 6.5)
        qt_generate_deploy_app_script(TARGET orbitviewer FILENAME_VARIABLE deploy_script)
    else()
        qt_generate_deploy_app_script(TARGET orbitviewer OUTPUT_SCRIPT deploy_script)
    endif()
    install(SCRIPT ${deploy_script})
    if(MSVC)
        set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${ORBITVIEWER_WINDOWS_BINDIR})
        include(InstallRequiredSystemLibraries)
    else()
        include(${PROJECT_SOURCE_DIR}/cmake/mingw-runtime.cmake)
        orbitviewer_mingw_runtime(runtime)
    endif()
endif()

include(licences.cmake)
orbitviewer_runtime_notices(notices ${runtime})
orbitviewer_licence_files(${CMAKE_CURRENT_BINARY_DIR}/licences ${notices})
install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/licences/ DESTINATION .)
include(windowsinstaller.cmake)
