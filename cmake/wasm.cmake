# The web build: WebAssembly through Emscripten, against a Qt built for it,
# whose install prefix ORBITVIEWER_WASM_QT names (scripts/web.sh builds one
# from Debian's source; a Qt installer's wasm_singlethread kit works too).
# Qt's own toolchain file for that Qt sets up Emscripten and Qt's host tools.
if(NOT DEFINED ENV{ORBITVIEWER_WASM_QT} OR "$ENV{ORBITVIEWER_WASM_QT}" STREQUAL "")
    message(FATAL_ERROR "ORBITVIEWER_WASM_QT is not set. It names the install prefix of a Qt built for "
        "WebAssembly: scripts/web.sh builds one from Debian's source, and sets it.")
endif()
set(orbitviewer_qt_toolchain "$ENV{ORBITVIEWER_WASM_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
if(NOT EXISTS "${orbitviewer_qt_toolchain}")
    message(FATAL_ERROR "ORBITVIEWER_WASM_QT is '$ENV{ORBITVIEWER_WASM_QT}', which holds no Qt "
        "(no lib/cmake/Qt6/qt.toolchain.cmake)")
endif()
include("${orbitviewer_qt_toolchain}")
