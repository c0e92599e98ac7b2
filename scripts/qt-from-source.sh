# shellcheck shell=bash disable=SC2034  # sourced: its variables are read by the scripts that source it
# Builds qtbase from this Debian release's own source package for a
# configuration Debian does not ship (cmake/qtconfigurations.cmake), once,
# into a cache outside the tree (docs/platforms.md says where). Sourced
# after setup.sh, not run: "qt_prefix windows|gles|wasm" prints the prefix,
# building it when needed.

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

# What the gles configuration builds against: libGLESv2 and EGL, xcb, and
# fontconfig with the system's FreeType.
QT_GLES_PACKAGES=(libgles-dev libegl-dev libx11-dev libx11-xcb-dev libxcb1-dev libxcb-glx0-dev libxcb-icccm4-dev
    libxcb-image0-dev libxcb-keysyms1-dev libxcb-randr0-dev libxcb-render-util0-dev libxcb-shape0-dev
    libxcb-shm0-dev libxcb-sync-dev libxcb-xfixes0-dev libxcb-xinerama0-dev libxcb-xkb-dev libxcb-xinput-dev
    libxcb-util-dev libxkbcommon-dev libxkbcommon-x11-dev libxrender-dev libfontconfig-dev libfreetype-dev)

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

qt_prefix() {
    local name=$1 version key prefix source build compiler started options=() key_extra=()
    mapfile -t options < <(cmake -DNAME="$name" -P "$ROOT/cmake/qtconfigurations.cmake")
    [ ${#options[@]} -gt 0 ] || fail "qt_prefix: no Qt configuration named '$name'"
    if [ "$name" = wasm ]; then
        key_extra=("emscripten $(dpkg-query -W -f='${Version}' emscripten)")
    fi
    set -- "${options[@]}"
    version=$(qt_source_version) || return 1
    key=$(qt_configuration_key "$@" "${key_extra[@]}" THIRD-PARTY-NOTICES.txt)
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
        ! cmake -DNAME="$name" -DVERSION="$version" -DSOURCE="$source" -DCOMPILER="$compiler" \
            -DOUTPUT="$prefix/SOURCE.txt" -P "$ROOT/cmake/qtsourcenote.cmake"; then
        fail "Qt ($name) was built, but its licences, notices or source note could not be written into $prefix."
    fi
    rm -rf "$build" "$build.log"
    touch "$prefix/.complete" || return 1
    echo "== Qt ($name) built in $((SECONDS - started)) s" >&2
    echo "$prefix"
}
