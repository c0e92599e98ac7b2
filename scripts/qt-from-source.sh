# shellcheck shell=bash disable=SC2034  # sourced: its variables are read by the scripts that source it
# Builds qtbase from this Debian release's own source package for a
# configuration Debian does not ship, once, into a cache outside the tree
# (docs/platforms.md says where). Sourced after setup.sh, not run:
# "qt_prefix windows|gles|wasm" prints the prefix, building it when needed.

QT_CACHE=/var/cache/orbitviewer
[ "$(id -u)" -eq 0 ] || QT_CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/orbitviewer
QT_CACHE=${ORBITVIEWER_QT_CACHE:-$QT_CACHE}

# Holds lock file $1 of the cache until the calling (sub)shell ends.
hold_cache_lock() {
    local file=$QT_CACHE/.lock-$1
    { mkdir -p "$QT_CACHE" && exec {QT_CACHE_LOCK}>"$file"; } 2>/dev/null ||
        fail "The Qt cache $QT_CACHE cannot be written: set ORBITVIEWER_QT_CACHE to a directory that can."
    flock -n "$QT_CACHE_LOCK" || echo "== Waiting for another run that holds $file" >&2
    flock "$QT_CACHE_LOCK"
}

# The version of the Qt whose host tools (moc, rcc) build the project: the
# source must be the same, or the generated code will not match the headers.
qt_source_version() {
    dpkg-query -W -f='${source:Version}' qt6-base-dev-tools
}

# apt-get with a state of its own, so that the host's apt is left as it was.
private_apt() {
    local state=$QT_CACHE/apt
    apt-get -o Dir::Etc::SourceList="$state/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$state/lists" -o Dir::Cache="$state/cache" -o APT::Sandbox::User="$(id -un)" "$@"
}

# Unpacks the source, Debian's patches applied, and prints its directory.
fetch_qt_source() {
    local version upstream dir sources
    version=$(qt_source_version)
    upstream=${version#*:}
    upstream=${upstream%-*}
    dir=$QT_CACHE/src/qt6-base-$upstream
    hold_cache_lock src || return 1
    if [ ! -e "$dir/.unpacked-$version" ]; then
        echo "== qt6-base $version source from this machine's Debian archive" >&2
        sources=$(debian_sources) || return 1
        mkdir -p "$QT_CACHE/apt/lists/partial" "$QT_CACHE/apt/cache/archives/partial" "$QT_CACHE/src"
        sed 's/^/deb-src /' <<<"$sources" >"$QT_CACHE/apt/sources.list"
        private_apt update -qq >&2 || return 1
        rm -rf "$dir" || return 1
        (cd "$QT_CACHE/src" && private_apt source -qq "qt6-base=$version" >&2) || return 1
        touch "$dir/.unpacked-$version" || return 1
    fi
    echo "$dir"
}

# Only what the viewer and its tests use (Core, Gui, OpenGL, Widgets, Test),
# with Qt's own copies of its third-party libraries, so that nothing built
# for another system is picked up by accident.
QT_NATIVE_OPTIONS=(-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON)
QT_COMMON_OPTIONS=(
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
    -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_androiddeployqt=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
)

# Windows x64 with MinGW-w64, OpenGL dynamic as in Qt's own Windows packages
# (the desktop driver, or opengl32sw.dll where asked for or where it fails).
# Debian's source drops wintab, and MinGW lacks wintab.h and the Direct2D
# headers tabletevent and direct2d need; 6.4 builds directwrite3's font
# database only with direct2d, though the platform plugin asks for it.
qt_windows_options() {
    QT_OPTIONS=("${QT_NATIVE_OPTIONS[@]}" "${QT_COMMON_OPTIONS[@]}"
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DINPUT_opengl=dynamic
        -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF)
}

# Linux with OpenGL ES 2.0 only, as boards' Qt is built: contexts and
# functions straight from libGLESv2 and EGL; xcb on EGL for the tests, and
# eglfs with its X11 device integration standing in for a board's display.
# Fonts through fontconfig, which needs the system's FreeType.
QT_GLES_PACKAGES=(libgles-dev libegl-dev libx11-dev libx11-xcb-dev libxcb1-dev libxcb-glx0-dev libxcb-icccm4-dev
    libxcb-image0-dev libxcb-keysyms1-dev libxcb-randr0-dev libxcb-render-util0-dev libxcb-shape0-dev
    libxcb-shm0-dev libxcb-sync-dev libxcb-xfixes0-dev libxcb-xinerama0-dev libxcb-xkb-dev libxcb-xinput-dev
    libxcb-util-dev libxkbcommon-dev libxkbcommon-x11-dev libxrender-dev libfontconfig-dev libfreetype-dev)
qt_gles_options() {
    QT_OPTIONS=("${QT_NATIVE_OPTIONS[@]}" "${QT_COMMON_OPTIONS[@]}"
        -DINPUT_opengl=es2 -DFEATURE_xcb=ON -DFEATURE_xcb_egl_plugin=ON
        -DFEATURE_eglfs=ON -DFEATURE_eglfs_x11=ON -DFEATURE_kms=OFF -DFEATURE_gbm=OFF -DFEATURE_libinput=OFF
        -DFEATURE_tslib=OFF -DFEATURE_system_freetype=ON -DFEATURE_fontconfig=ON)
}

# WebAssembly for browsers with WebGL, as Qt builds it for the web: static
# libraries and one thread, with the release's Emscripten (found through
# EMSDK, see prepare_emsdk in web.sh) and the release's Qt as code generators.
# Built for size, since every visitor downloads it: -Os, which Qt's SSE2
# emulation would override with -O2, and without what the viewer never
# reaches (HarfBuzz, where it draws no text; widgets, style sheets and
# document formats), as Qt advises. Not with -ltcg: Emscripten 3.1.69's
# linker then finds two signatures for functions that return through memory,
# and the page stops with "null function".
qt_wasm_options() {
    local emscripten
    emscripten=$(dpkg-query -W -f='${Version}' emscripten)
    # shellcheck disable=SC2191  # the "=" is part of the options brace expansion writes
    QT_OPTIONS=("${QT_COMMON_OPTIONS[@]}"
        -DCMAKE_BUILD_TYPE=MinSizeRel -DQT_QMAKE_TARGET_MKSPEC=wasm-emscripten -DQT_HOST_PATH=/usr
        -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -print-multiarch)/cmake" -DFEATURE_thread=OFF
        -DFEATURE_sse2=OFF -DFEATURE_harfbuzz=OFF
        -DFEATURE_{style_stylesheet,graphicsview,graphicseffect,textodfwriter,textmarkdownreader,textmarkdownwriter}=OFF
        -DFEATURE_{calendarwidget,datetimeedit,colordialog,fontdialog,filedialog,fontcombobox,wizard,mdiarea,dial}=OFF
        -DFEATURE_{lcdnumber,undoview,undocommand,itemviews,syntaxhighlighter,splashscreen,keysequenceedit}=OFF
        -DFEATURE_{dockwidget,toolbox,pdf,movie}=OFF)
    QT_KEY_EXTRA=("emscripten $emscripten")
    # Their sources say LicenseRef-Qt-Commercial OR GPL-3.0-only.
    QT_LICENCE_NOTE=("They are linked statically into the program. Qt's platform plugin for"
        "WebAssembly (qwasm), which every Qt program for the web links, and Qt's"
        "loader (qtloader.js) are licensed under the GNU General Public License"
        "version 3 alone (Qt-GPL-3.0.txt), not the LGPL; the rest of Qt used here"
        "is also available under the GNU Lesser General Public License version 3"
        "(Qt-LGPL-3.0.txt). The program as built is therefore conveyed under the"
        "terms of the GNU GPL version 3, and its complete corresponding source is"
        "this Qt source together with the program's own, whose licence (MIT,"
        "LICENSE.txt) lets it be combined so.")
    QT_NOTE_EXTRA=("EMSDK named a folder holding .emscripten, which says"
        "EMSCRIPTEN_ROOT = emsdk_path + '/upstream/emscripten', and upstream/emscripten,"
        "a link to /usr/share/emscripten of Debian's package emscripten"
        "$emscripten.")
}

# The options without the checkout's path, and the files they name (the
# toolchain file): every clone shares one build, and a changed toolchain
# makes a new one.
qt_configuration_key() {
    local option
    for option in "$@"; do
        echo "${option//$ROOT\//}"
        if [ -f "${option#*=}" ]; then
            cat "${option#*=}"
        fi
    done | sha256sum | cut -c1-12
}

# What a reader needs to build the same libraries again: the source
# package and where to get it, what was changed in it, the compiler, and the
# exact configuration, with any file it names written out in full.
write_qt_source_note() {
    local name=$1 version=$2 source=$3 prefix=$4 compiler=$5 option value
    shift 5
    {
        printf '%s\n' "The Qt libraries and plugins in this package are Qt ${version%%+*}, built ($name) from" \
            "Debian's source package qt6-base, version $version." "" "${QT_LICENCE_NOTE[@]}"
        cat <<EOF

The complete source, as built:

  https://snapshot.debian.org/package/qt6-base/$version/
  or, on Debian: apt-get source qt6-base=$version

It was built with Debian's patches, which that source applies
(debian/patches/series), and no change of ours:

$(grep -v '^[[:space:]]*\(#\|$\)' "$source/debian/patches/series" | sed 's/^/  /')

Compiler: $("$compiler" --version | head -n 1)$(qt_compiler_package "$compiler")

EOF
        [ ${#QT_NOTE_EXTRA[@]} -eq 0 ] || printf '%s\n' "${QT_NOTE_EXTRA[@]}" ""
        printf '%s\n' "Configured, built and installed with CMake and Ninja:" "" \
            "  cmake -S $(basename "$source") -B build -G Ninja -DCMAKE_INSTALL_PREFIX=<prefix> \\"
        printf '      %s \\\n' "${@//$ROOT\//}" | sed '$ s/ \\$//'
        printf '  %s\n' "cmake --build build" "cmake --install build --strip"
        for option in "$@"; do
            value=${option#*=}
            if [ -f "$value" ]; then
                printf '\n%s:\n\n%s\n' "${value//$ROOT\//}" "$(sed 's/^/  /' "$value")"
            fi
        done
    } >"$prefix/SOURCE.txt"
}

# ", from Debian's package <name> <version>" for compiler $1, if dpkg knows it.
qt_compiler_package() {
    local package
    package=$(dpkg -S "$(realpath "$1")" 2>/dev/null | sed -n '1s/:.*//p') || return 0
    if [ -n "$package" ]; then
        echo ", from Debian's package $package $(dpkg-query -W -f='${Version}' "$package")"
    fi
}

qt_prefix() {
    local name=$1 version key prefix source build compiler started QT_OPTIONS=() QT_KEY_EXTRA=() QT_NOTE_EXTRA=()
    local QT_LICENCE_NOTE=("They are used under the GNU Lesser General Public License version 3"
        "(Qt-LGPL-3.0.txt; the GNU General Public License version 3 it builds on is"
        "Qt-GPL-3.0.txt).")
    case $name in
    windows) qt_windows_options ;;
    gles) qt_gles_options ;;
    wasm) qt_wasm_options ;;
    *) fail "qt_prefix: no Qt configuration named '$name'" ;;
    esac
    set -- "${QT_OPTIONS[@]}"
    version=$(qt_source_version) || return 1
    key=$(qt_configuration_key "$@" "${QT_KEY_EXTRA[@]}" THIRD-PARTY-NOTICES.txt)
    prefix=$QT_CACHE/qtbase-${version//[:~]/_}-$name-$key
    # Another run may build it while this one waits.
    [ -e "$prefix/.complete" ] || hold_cache_lock "$name-$key"
    if [ -e "$prefix/.complete" ]; then
        echo "== Qt $version ($name) from the cache: $prefix" >&2
        echo "$prefix"
        return 0
    fi
    source=$(fetch_qt_source) || return 1
    build=$QT_CACHE/build-$name-$key
    started=$SECONDS
    echo "== Building Qt $version ($name) into $prefix; this takes up to half an hour on 2 cores" >&2
    rm -rf "$build" "$prefix" || return 1
    if ! cmake -S "$source" -B "$build" -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$build.log" 2>&1 ||
        ! cmake --build "$build" >>"$build.log" 2>&1 ||
        ! cmake --install "$build" --strip >>"$build.log" 2>&1; then
        tail -n 40 "$build.log" >&2
        fail "Building Qt ($name) failed; the whole log is $build.log."
    fi
    # The notices are of the third-party files the compiler read, as Ninja
    # recorded them. The compiler is read as CMake found it: a toolchain file
    # that names it (Emscripten's) leaves it out of the cache.
    compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake |
        head -n 1)
    ninja -C "$build" -t deps | sed -n 's/^    //p' | sort -u | (cd "$build" && xargs -d '\n' realpath -m) |
        sed -n "s|^$source/||p" | sort -u >"$build/compiled"
    if [ -z "$compiler" ] || ! cp -r "$source/LICENSES" "$prefix/LICENSES" ||
        ! cmake -DSOURCE="$source" -DCOMPILED="$build/compiled" -DOUTPUT="$prefix/THIRD-PARTY-NOTICES.txt" \
            -P "$ROOT/cmake/qtnotices.cmake" ||
        ! write_qt_source_note "$name" "$version" "$source" "$prefix" "$compiler" "$@"; then
        fail "Qt ($name) was built, but its licences, notices or source note could not be written into $prefix."
    fi
    rm -rf "$build" "$build.log"
    touch "$prefix/.complete" || return 1
    echo "== Qt ($name) built in $((SECONDS - started)) s" >&2
    echo "$prefix"
}
