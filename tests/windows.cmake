# The Windows build's checks besides its suite, under Wine in prefixes of
# their own, which fixtures make and remove (wine-prefix.sh): the
# executable's resources as Explorer reads them; the zip and the installer
# that cpack makes, checked as a Windows user meets them; and a build with a
# compiler kit laid out as Qt's own. The Windows viewer is driven through
# the X server by the native tst_orbitviewer, of the build ORBITVIEWER_HOST_TESTS
# names. Included by tests/CMakeLists.txt after its suite's settings, which
# these tests do not take.
set(wine_prefix ${CMAKE_CURRENT_SOURCE_DIR}/wine-prefix.sh)
set(checked ${CMAKE_CURRENT_BINARY_DIR}/windows)
set(package ${ORBITVIEWER_WINDOWS_PACKAGE})
set(viewer_environment ORBITVIEWER_TEST_TIME_FACTOR=${ORBITVIEWER_TEST_TIME_FACTOR}
    QTEST_FUNCTION_TIMEOUT=${test_timeout}000)

# Fixture wine_<name>: a fresh prefix, removed after the tests that need it,
# which take wine_<name>_environment.
function(orbitviewer_wine_prefix name)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/wine/${name})
    add_test(NAME wine_${name}_new COMMAND sh ${wine_prefix} new ${folder})
    add_test(NAME wine_${name}_end COMMAND sh ${wine_prefix} end ${folder})
    set_tests_properties(wine_${name}_new PROPERTIES FIXTURES_SETUP wine_${name})
    set_tests_properties(wine_${name}_end PROPERTIES FIXTURES_CLEANUP wine_${name})
    set(wine_${name}_environment WINEPREFIX=${folder} WINEDEBUG=-all
        "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=" PARENT_SCOPE)
endfunction()

# Test <name> runs in prefix <prefix>, after the tests of fixtures <fixture>...
function(orbitviewer_in_prefix name prefix)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine_${prefix} ${ARGN})
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${wine_${prefix}_environment})
endfunction()

# The Windows viewer <viewer> (a path on either side) driven at scale 1 and
# 1.5, as runs <name> and <name>_scale1_5, in prefix <prefix>, after the tests
# of fixtures <fixture>... Wine 8 refuses the per-monitor DPI awareness (V2)
# Qt asks for first, and Qt warns about it on every start; the checks, which
# want the viewer to say nothing, ask it for the first version.
function(orbitviewer_drive_viewer name viewer prefix)
    set(command "sh \"${CMAKE_CURRENT_SOURCE_DIR}/run-under-wine.sh\" \"${viewer}\" -platform windows:dpiawareness=2")
    orbitviewer_add_run(${name} ${ORBITVIEWER_HOST_TESTS}/tst_orbitviewer
        startAndClose drag "noOpenGL:OpenGL 1.4 only" shadersRejected)
    orbitviewer_add_run(${name}_scale1_5 ${ORBITVIEWER_HOST_TESTS}/tst_orbitviewer drag)
    foreach(run ${name} ${name}_scale1_5)
        orbitviewer_in_prefix(${run} ${prefix} ${ARGN})
        set_property(TEST ${run} APPEND PROPERTY ENVIRONMENT ${viewer_environment} "ORBITVIEWER_COMMAND=${command}")
        set_tests_properties(${run} PROPERTIES TIMEOUT ${test_timeout})
    endforeach()
    set_property(TEST ${name}_scale1_5 APPEND PROPERTY ENVIRONMENT QT_SCALE_FACTOR=1.5)
endfunction()

# A package's THIRD-PARTY-NOTICES.txt, against the notices of Qt's build.
function(orbitviewer_check_notices name notices)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DNOTICES=${notices} -DQT_NOTICES=${ORBITVIEWER_QT_NOTICES}
        -P ${PROJECT_SOURCE_DIR}/packaging/checknotices.cmake)
endfunction()

orbitviewer_wine_prefix(zip)
orbitviewer_wine_prefix(installer)

# The version information and icon, read back by a tool that did not write
# them (binutils' windres did).
add_test(NAME windows_resources COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows-resources.sh $<TARGET_FILE:orbitviewer>)
set_tests_properties(windows_resources PROPERTIES PASS_REGULAR_EXPRESSION
    "CompanyName\nthe orbitviewer authors\n.*FileDescription\nOrbit Viewer\n.*FileVersion\n${PROJECT_VERSION}\n.*LegalCopyright\n[^\n]*MIT License\n.*ProductName\nOrbit Viewer\n.*ProductVersion\n${PROJECT_VERSION}\n.*icon: MS Windows icon resource - 6 icons")

# Both packages, and the zip unpacked into a folder whose name goes beyond
# ASCII.
add_test(NAME windows_packages COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    -B ${checked})
set(unpacked "${checked}/Orbit Viewer été Ω")
file(MAKE_DIRECTORY ${unpacked})
add_test(NAME windows_zip_unpacked COMMAND ${CMAKE_COMMAND} -E tar xf ${checked}/${package}.zip
    WORKING_DIRECTORY ${unpacked})
set_tests_properties(windows_packages PROPERTIES FIXTURES_SETUP windows_packages)
set_tests_properties(windows_zip_unpacked PROPERTIES FIXTURES_SETUP windows_zip FIXTURES_REQUIRED windows_packages)

set(zip_viewer ${unpacked}/${package}/orbitviewer.exe)
orbitviewer_check_notices(windows_zip_notices ${unpacked}/${package}/THIRD-PARTY-NOTICES.txt)
set_tests_properties(windows_zip_notices PROPERTIES FIXTURES_REQUIRED windows_zip)
orbitviewer_drive_viewer(windows_zip_viewer ${zip_viewer} zip windows_zip)
# Started as from the desktop, without OpenGL 2.0: a message box, then status 1.
add_test(NAME windows_zip_message_box COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/wine-message-box.sh orbitviewer
    60 ${zip_viewer})
orbitviewer_in_prefix(windows_zip_message_box zip windows_zip)
set_property(TEST windows_zip_message_box APPEND PROPERTY ENVIRONMENT MESA_GL_VERSION_OVERRIDE=1.4)
set_tests_properties(windows_zip_message_box PROPERTIES PASS_REGULAR_EXPRESSION "message box: [0-9]+\n.*exit status: 1\n")

# The installer, over an older version (the same files as 0.0.1), silently;
# the installation, driven; then uninstalled, leaving the prefix's files and
# registry keys as they were. Each step comes after the one above it.
set(prefix ${CMAKE_CURRENT_BINARY_DIR}/wine/installer)
set(older ${checked}/older/${package}-setup.exe)
set(installed "${prefix}/drive_c/Program Files/Orbit Viewer")
set(shortcut "${prefix}/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orbit Viewer/Orbit Viewer.lnk")
set(uninstall_key "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\orbitviewer")
add_test(NAME windows_older_installer COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    -G NSIS -R 0.0.1 -B ${checked}/older)
add_test(NAME windows_before_install COMMAND sh ${wine_prefix} state ${prefix} ${checked}/before-install)
add_test(NAME windows_install_older COMMAND sh ${wine_prefix} silently ${prefix} ${older})
add_test(NAME windows_older_registered COMMAND wine reg query ${uninstall_key} /v DisplayVersion)
add_test(NAME windows_install COMMAND sh ${wine_prefix} silently ${prefix} ${checked}/${package}-setup.exe)
add_test(NAME windows_installed_viewer_file COMMAND test -f ${installed}/orbitviewer.exe)
add_test(NAME windows_installed_shortcut COMMAND test -f ${shortcut})
orbitviewer_check_notices(windows_installed_notices ${installed}/THIRD-PARTY-NOTICES.txt)
add_test(NAME windows_uninstall_entry COMMAND wine reg query ${uninstall_key})
add_test(NAME windows_one_uninstall_entry COMMAND wine reg query HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall)
orbitviewer_drive_viewer(windows_installed_viewer "C:\\Program Files\\Orbit Viewer\\orbitviewer.exe" installer)
add_test(NAME windows_uninstall COMMAND sh ${wine_prefix} silently ${prefix}
    "C:\\Program Files\\Orbit Viewer\\Uninstall.exe")
add_test(NAME windows_uninstalled_entry COMMAND wine reg query ${uninstall_key})
add_test(NAME windows_after_uninstall COMMAND sh ${wine_prefix} state ${prefix} ${checked}/after-uninstall)
add_test(NAME windows_uninstalled_cleanly COMMAND diff -u ${checked}/before-install ${checked}/after-uninstall)
set(steps windows_before_install windows_install_older windows_older_registered windows_install
    windows_installed_viewer_file windows_installed_shortcut windows_installed_notices windows_uninstall_entry
    windows_one_uninstall_entry windows_installed_viewer windows_installed_viewer_scale1_5 windows_uninstall
    windows_uninstalled_entry windows_after_uninstall windows_uninstalled_cleanly)
set(previous "")
foreach(step IN LISTS steps)
    orbitviewer_in_prefix(${step} installer windows_packages windows_older_installer)
    set_tests_properties(${step} PROPERTIES DEPENDS "${previous}")
    set(previous ${step})
endforeach()
set_tests_properties(windows_older_installer PROPERTIES FIXTURES_SETUP windows_older_installer)
set_tests_properties(windows_older_registered PROPERTIES PASS_REGULAR_EXPRESSION "DisplayVersion +REG_SZ +0\\.0\\.1")
set_tests_properties(windows_uninstall_entry PROPERTIES PASS_REGULAR_EXPRESSION
    "DisplayName +REG_SZ +Orbit Viewer\r?\n.*DisplayVersion +REG_SZ +${PROJECT_VERSION}\r?\n.*Publisher +REG_SZ +the orbitviewer authors\r?\n")
# The upgrade replaced the older installation's entry.
set_tests_properties(windows_one_uninstall_entry PROPERTIES PASS_REGULAR_EXPRESSION "Uninstall\\\\orbitviewer"
    FAIL_REGULAR_EXPRESSION "Uninstall\\\\orbitviewer.*Uninstall\\\\orbitviewer")
set_tests_properties(windows_uninstalled_entry PROPERTIES PASS_REGULAR_EXPRESSION "Unable to find")

# A kit this project did not build: runtime DLLs beside the compiler, a Qt
# with no source note, against which configure must stop and ask for one;
# given one, the zip holds the DLLs and their notices from beside the kit's
# compiler.
set(kit ${checked}/kit)
set(kit_build ${checked}/kit-build)
add_test(NAME windows_kit COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows-kit.sh ${kit} ${QT6_INSTALL_PREFIX} ${checked}/kit-qt)
set(kit_configure ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${kit_build} -G Ninja --fresh
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=${checked}/kit-qt
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
add_test(NAME windows_kit_without_note COMMAND ${kit_configure})
add_test(NAME windows_kit_configure COMMAND ${kit_configure} -DORBITVIEWER_QT_SOURCE_NOTE=${QT6_INSTALL_PREFIX}/SOURCE.txt
    -DORBITVIEWER_QT_NOTICES=${ORBITVIEWER_QT_NOTICES})
add_test(NAME windows_kit_build COMMAND ${CMAKE_COMMAND} --build ${kit_build})
add_test(NAME windows_kit_package COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP WORKING_DIRECTORY ${kit_build})
set(kit_unpacked ${checked}/kit-zip)
file(MAKE_DIRECTORY ${kit_unpacked})
add_test(NAME windows_kit_unpacked COMMAND ${CMAKE_COMMAND} -E tar xf ${kit_build}/${package}.zip
    WORKING_DIRECTORY ${kit_unpacked})
set(steps windows_kit_without_note windows_kit_configure windows_kit_build windows_kit_package windows_kit_unpacked)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    add_test(NAME windows_kit_zip_${dll} COMMAND test -f ${kit_unpacked}/${package}/${dll})
    list(APPEND steps windows_kit_zip_${dll})
endforeach()
orbitviewer_check_notices(windows_kit_notices ${kit_unpacked}/${package}/THIRD-PARTY-NOTICES.txt)
add_test(NAME windows_kit_runtime_notices COMMAND ${CMAKE_COMMAND} -E cat ${kit_unpacked}/${package}/THIRD-PARTY-NOTICES.txt)
list(APPEND steps windows_kit_notices windows_kit_runtime_notices)
# The kit's compiler comes first on the path of every step after the one
# that lays it out.
set_tests_properties(windows_kit PROPERTIES FIXTURES_SETUP windows_kit)
set(previous windows_kit)
foreach(step IN LISTS steps)
    set_tests_properties(${step} PROPERTIES DEPENDS ${previous} FIXTURES_REQUIRED windows_kit
        ENVIRONMENT_MODIFICATION PATH=path_list_prepend:${kit}/bin)
    set(previous ${step})
endforeach()
set_tests_properties(windows_kit_without_note PROPERTIES PASS_REGULAR_EXPRESSION "set[ \n]+ORBITVIEWER_QT_SOURCE_NOTE")
set_tests_properties(windows_kit_configure PROPERTIES PASS_REGULAR_EXPRESSION
    "MinGW's runtime for the packages: ${kit}/bin/")
set_tests_properties(windows_kit_runtime_notices PROPERTIES PASS_REGULAR_EXPRESSION
    "Component: the compiler's runtime \\(notices from the compiler's kit\\)")

get_property(windows_checks DIRECTORY PROPERTY TESTS)
list(FILTER windows_checks INCLUDE REGEX "^(windows|wine)_")
set_tests_properties(${windows_checks} PROPERTIES LABELS windows)
