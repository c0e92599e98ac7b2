# The licences that travel with the Windows packages: the project's, and
# Qt's. Qt's libraries are passed on under the GNU LGPL version 3, which
# builds on the GNU GPL version 3 and asks for the corresponding source of
# the libraries, or directions to it: Qt-SOURCE.txt gives them.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# A Qt built by scripts/qt-from-source.sh carries its licence texts and its
# source note in its prefix; Qt's installer keeps the texts in its Licenses
# directory, two levels above a kit.
foreach(licence LGPL GPL)
    find_file(ORBITVIEWER_QT_${licence} ${licence}-3.0-only.txt
        PATHS ${QT6_INSTALL_PREFIX}/LICENSES ${QT6_INSTALL_PREFIX}/../../Licenses
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(ORBITVIEWER_QT_${licence})
        install(FILES ${ORBITVIEWER_QT_${licence}} DESTINATION . RENAME Qt-${licence}-3.0.txt)
    else()
        message(WARNING "Qt's ${licence} text (${licence}-3.0-only.txt) is not in Qt's prefix: "
            "the Windows packages go without it")
    endif()
endforeach()

find_file(ORBITVIEWER_QT_SOURCE_NOTE SOURCE.txt PATHS ${QT6_INSTALL_PREFIX} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(ORBITVIEWER_QT_SOURCE_NOTE)
    install(FILES ${ORBITVIEWER_QT_SOURCE_NOTE} DESTINATION . RENAME Qt-SOURCE.txt)
else()
    # A kit from Qt's own installer is built by the Qt Company from its
    # published source, which the note then names.
    message(STATUS "Qt's prefix has no SOURCE.txt: the packages' Qt-SOURCE.txt names the Qt Company's "
        "source of Qt ${Qt6_VERSION}. Set ORBITVIEWER_QT_SOURCE_NOTE to a note of your own for another Qt.")
    string(REGEX MATCH "^[0-9]+\\.[0-9]+" qt_series ${Qt6_VERSION})
    configure_file(qt-source-qtcompany.txt.in Qt-SOURCE.txt @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Qt-SOURCE.txt DESTINATION .)
endif()
