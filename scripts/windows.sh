#!/usr/bin/env bash
# The Windows x64 release, made and checked on Debian: Qt for Windows built
# once from Debian's own qt6-base source (scripts/qt-from-source.sh, cached
# in /var/cache/orbitviewer), the viewer and its suite cross-built with
# MinGW-w64 (the windows preset), the suite run under Wine, and the zip a
# Windows user unpacks (build-windows/orbitviewer-<version>-windows-x64.zip).
# The zip is then unpacked into an empty folder and its viewer started in a
# fresh Wine prefix set to Windows 10, found, drawn, dragged and closed
# through the X server by the native tst_orbitviewer. Last, the mutation
# list's Windows faults are planted, one at a time, in a Windows build of a
# copy of the project, and must be caught the same way.
#
#   scripts/windows.sh
#
# Everything runs in a private X server and private Wine prefixes, which are
# ended and removed when this ends, whether the checks pass or not. Needs
# root to install what is missing, and about half an hour the first time.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"
# Wine starts programs several times more slowly than Linux does.
TIME_FACTOR=${TIME_FACTOR:-3}
SESSION_DIR=
XVFB_PID=
PREFIXES=()

install_dependencies() {
    # moc and rcc of the build machine, and the native tst_orbitviewer that
    # drives the Windows viewer from outside.
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" xvfb xauth qt6-base-dev-tools dpkg-dev \
        g++-mingw-w64-x86-64-posix wine wine64 xdotool unzip
}

# An X server of this run's own, large enough for the suite's widest window
# at scale 2.
start_display() {
    SESSION_DIR=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 2560x2048x24 -noreset 3>"$SESSION_DIR/display" 2>"$SESSION_DIR/xvfb.log" &
    XVFB_PID=$!
    local tries=0
    until [ -s "$SESSION_DIR/display" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ]; then
            cat "$SESSION_DIR/xvfb.log" >&2
            echo "Xvfb did not start." >&2
            exit 1
        fi
        sleep 0.1
    done
    export DISPLAY=:$(cat "$SESSION_DIR/display")
}

# A fresh Wine prefix set to Windows 10, the oldest Windows Qt 6 supports.
# Wine's Direct3D is switched off: Qt's Windows plugin probes it at start,
# and that probe crashes when Mesa's OpenGL version is overridden. Mono and
# Gecko are not installed: nothing here uses .NET or HTML.
new_prefix() {
    local prefix
    prefix=$(mktemp -d "${TMPDIR:-/var/tmp}/orbitviewer-wine.XXXXXX")
    PREFIXES+=("$prefix")
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot --init >/dev/null 2>&1
    wine winecfg -v win10 >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d no3d /f >/dev/null 2>&1
    wineserver -w
}

# Ends every Wine server and the X server this run started, and removes the
# prefixes; each step runs whatever the one before it did.
end_session() {
    set +e
    local prefix
    for prefix in "${PREFIXES[@]}"; do
        WINEPREFIX=$prefix wineserver -k 2>/dev/null
        rm -rf --one-file-system "$prefix"
    done
    [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    [ -z "$SESSION_DIR" ] || rm -rf "$SESSION_DIR"
}

build_windows() {
    WINDOWS_QT=$(qt_prefix windows) || exit 1
    echo "== Release build for Windows x64 (build-windows/)"
    (cd "$ROOT" && ORBITVIEWER_WINDOWS_QT=$WINDOWS_QT cmake --preset windows \
        -DORBITVIEWER_TEST_TIME_FACTOR="$TIME_FACTOR" >/dev/null && cmake --build --preset windows) || exit 1
}

run_suite() {
    new_prefix
    echo "== Test suite for Windows, under $(wine --version) in a private prefix, time limits x$TIME_FACTOR"
    (cd "$ROOT" && ctest --preset windows)
    print_skips "$ROOT/build-windows"
}

make_zip() {
    echo "== The Windows package"
    (cd "$ROOT/build-windows" && cpack -G ZIP | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p') >"$SESSION_DIR/zip"
    ZIP=$(cat "$SESSION_DIR/zip")
    if [ ! -f "$ZIP" ]; then
        echo "cpack reported no zip." >&2
        exit 1
    fi
    echo "$(basename "$ZIP"): $(du -k "$ZIP" | cut -f1) KiB, unpacked $(unzip -l "$ZIP" | tail -n 1 | awk '{ print int($1 / 1024) }') KiB:"
    unzip -Z1 "$ZIP" | sed 's/^/  /'
}

# The viewer from the zip, as a Windows user gets it: unpacked into an empty
# folder, started in a fresh prefix with nothing else on its path, and driven
# through the X server by the native tst_orbitviewer: its window, first
# frame, real drags and wheel, close request and status, at scale 1 and 1.5.
# QT_OPENGL=software in one row shows that the viewer still asks for the
# desktop driver. Wine 8 refuses the per-monitor DPI awareness (V2) Qt asks
# for first, and Qt warns about it on every start; the checks, which want
# the viewer to say nothing, ask for the first version, which Wine has.
check_unpacked_viewer() {
    echo "== The zip's viewer, unpacked into an empty folder, in a fresh Windows 10 prefix"
    build_preset release --target tst_orbitviewer
    new_prefix
    mkdir "$SESSION_DIR/unpacked"
    (cd "$SESSION_DIR/unpacked" && unzip -q "$ZIP")
    VIEWER=$(find "$SESSION_DIR/unpacked" -name orbitviewer.exe)
    local tests=(startAndClose drag "noOpenGL:OpenGL 1.4 only" shadersRejected)
    (cd "$ROOT/build/tests" &&
        export ORBITVIEWER_TEST_TIME_FACTOR=$TIME_FACTOR ORBITVIEWER_COMMAND="sh $ROOT/tests/run-under-wine.sh $VIEWER" \
            QT_QPA_PLATFORM=windows:dpiawareness=2 &&
        ./tst_orbitviewer "${tests[@]}" && QT_SCALE_FACTOR=1.5 ./tst_orbitviewer drag)
}

# Started as Explorer starts it, with no console or stderr, the viewer that
# cannot get OpenGL 2.0 says why in a message box; dismissed, it ends with
# status 1.
check_failure_message_box() {
    echo "== The zip's viewer without OpenGL 2.0, started as from the desktop: a message box, then status 1"
    local status=$SESSION_DIR/status box
    (
        set +e
        MESA_GL_VERSION_OVERRIDE=1.4 wine start /wait /unix "$VIEWER"
        echo $? >"$status"
    ) &
    if ! box=$(timeout $((20 * TIME_FACTOR)) xdotool search --sync --name '^orbitviewer$' | head -n 1) ||
        [ -z "$box" ]; then
        echo "No message box appeared." >&2
        exit 1
    fi
    xdotool key --window "$box" Return
    wait $!
    if [ "$(cat "$status")" != 1 ]; then
        echo "The viewer ended with status $(cat "$status"), not 1, after its message box." >&2
        exit 1
    fi
    echo "A message box titled \"orbitviewer\" appeared; once dismissed, the viewer ended with status 1"
}

# The mutation list's Windows faults, each planted in a Windows build of a
# copy of the project and driven as the zip's viewer was.
plant_windows_faults() {
    (export ORBITVIEWER_WINDOWS_QT=$WINDOWS_QT MUTATE_PLATFORM=windows ORBITVIEWER_TEST_TIME_FACTOR=$TIME_FACTOR &&
        bash "$ROOT/scripts/mutate.sh")
}

install_dependencies
leave_session
trap end_session EXIT
trap 'exit 1' INT TERM
start_display
build_windows
run_suite
make_zip
check_unpacked_viewer
check_failure_message_box
plant_windows_faults
echo "== $(basename "$ZIP") built, tested under Wine, and its viewer checked from an empty folder"
