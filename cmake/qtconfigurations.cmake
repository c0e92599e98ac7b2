# The configurations of qtbase that scripts/qt-from-source.sh builds from
# Debian's source, for what Debian does not ship. Included with NAME set
# (windows, gles or wasm), it sets qt_options, and qt_licence_note and
# qt_note_extra for Qt-SOURCE.txt; run, it prints the options, one a line:
#
#   cmake -DNAME=<name> -P qtconfigurations.cmake

cmake_minimum_required(VERSION 3.25)

# Only what the viewer and its tests use (Core, Gui, OpenGL, Widgets, Test),
# with Qt's own copies of its third-party libraries, so that nothing built
# for another system is picked up by accident.
set(native -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON)
set(common -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
foreach(feature sql network dbus printsupport concurrent xml vulkan icu glib zstd jpeg gif androiddeployqt
        system_zlib system_pcre2 system_harfbuzz system_png system_freetype system_doubleconversion)
    list(APPEND common -DFEATURE_${feature}=OFF)
endforeach()
set(qt_licence_note [[They are used under the GNU Lesser General Public License version 3
(Qt-LGPL-3.0.txt; the GNU General Public License version 3 it builds on is
Qt-GPL-3.0.txt).]])
set(qt_note_extra "")

if(NAME STREQUAL "windows")
    # Windows x64 with MinGW-w64, OpenGL dynamic as in Qt's own Windows
    # packages (the desktop driver, or opengl32sw.dll where asked for or where
    # it fails). Debian's source drops wintab, and MinGW lacks wintab.h and the
    # Direct2D headers tabletevent and direct2d need; 6.4 builds directwrite3's
    # font database only with direct2d, though the platform plugin asks for it.
    set(qt_options ${native} ${common} -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake
        -DINPUT_opengl=dynamic -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF)
elseif(NAME STREQUAL "gles")
    # Linux with OpenGL ES 2.0 only, as boards' Qt is built: contexts and
    # functions straight from libGLESv2 and EGL; xcb on EGL for the tests, and
    # eglfs with its X11 device integration standing in for a board's display.
    # Fonts through fontconfig, which needs the system's FreeType.
    set(qt_options ${native} ${common} -DINPUT_opengl=es2 -DFEATURE_xcb=ON -DFEATURE_xcb_egl_plugin=ON
        -DFEATURE_eglfs=ON -DFEATURE_eglfs_x11=ON -DFEATURE_kms=OFF -DFEATURE_gbm=OFF -DFEATURE_libinput=OFF
        -DFEATURE_tslib=OFF -DFEATURE_system_freetype=ON -DFEATURE_fontconfig=ON)
elseif(NAME STREQUAL "wasm")
    # WebAssembly for browsers with WebGL, as Qt builds it for the web: static
    # libraries and one thread, with the release's Emscripten (found through
    # EMSDK, see prepare_emsdk in web.sh) and the release's Qt as code
    # generators. Built for size, since every visitor downloads it: -Os, which
    # Qt's SSE2 emulation would override with -O2, and without what the viewer
    # never reaches (HarfBuzz, where it draws no text; widgets, style sheets
    # and document formats), as Qt advises. Not with -ltcg: Emscripten 3.1.69's
    # linker then finds two signatures for functions that return through
    # memory, and the page stops with "null function".
    execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND dpkg-query -W -f=\${Version} emscripten OUTPUT_VARIABLE emscripten)
    set(qt_options ${common} -DCMAKE_BUILD_TYPE=MinSizeRel -DQT_QMAKE_TARGET_MKSPEC=wasm-emscripten
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/${multiarch}/cmake -DFEATURE_thread=OFF
        -DFEATURE_sse2=OFF -DFEATURE_harfbuzz=OFF)
    foreach(feature style_stylesheet graphicsview graphicseffect textodfwriter textmarkdownreader
            textmarkdownwriter calendarwidget datetimeedit colordialog fontdialog filedialog fontcombobox wizard
            mdiarea dial lcdnumber undoview undocommand itemviews syntaxhighlighter splashscreen keysequenceedit
            dockwidget toolbox pdf movie)
        list(APPEND qt_options -DFEATURE_${feature}=OFF)
    endforeach()
    # Their sources say LicenseRef-Qt-Commercial OR GPL-3.0-only.
    set(qt_licence_note [[They are linked statically into the program. Qt's platform plugin for
WebAssembly (qwasm), which every Qt program for the web links, and Qt's
loader (qtloader.js) are licensed under the GNU General Public License
version 3 alone (Qt-GPL-3.0.txt), not the LGPL; the rest of Qt used here
is also available under the GNU Lesser General Public License version 3
(Qt-LGPL-3.0.txt). The program as built is therefore conveyed under the
terms of the GNU GPL version 3, and its complete corresponding source is
this Qt source together with the program's own, whose licence (MIT,
LICENSE.txt) lets it be combined so.]])
    set(qt_note_extra "EMSDK named a folder holding .emscripten, which says
EMSCRIPTEN_ROOT = emsdk_path + '/upstream/emscripten', and upstream/emscripten,
a link to /usr/share/emscripten of Debian's package emscripten
${emscripten}.\n\n")
else()
    message(FATAL_ERROR "No Qt configuration named '${NAME}'")
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    list(JOIN qt_options "\n" lines)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${lines}")
endif()
