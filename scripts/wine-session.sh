# Private Wine prefixes for the Windows checks, and the native
# tst_orbitviewer that drives a Windows viewer in them. Sourced by
# scripts/windows.sh after setup.sh, not run.

# Wine starts programs several times more slowly than Linux does.
TIME_FACTOR=${TIME_FACTOR:-3}
SESSION_DIR=
PREFIXES=()

# A fresh Wine prefix set to Windows 10, the oldest Windows Qt 6 supports.
# Wine's Direct3D is switched off: Qt's Windows plugin probes it at start,
# and that probe crashes when Mesa's OpenGL version is overridden. Mono and
# Gecko are not installed: nothing here uses .NET or HTML. Wine's menu
# builder is off, so that a Start-menu shortcut made inside the prefix
# leaves no desktop entry in the user's own menus.
new_prefix() {
    local prefix
    prefix=$(mktemp -d "${TMPDIR:-/var/tmp}/orbitviewer-wine.XXXXXX")
    PREFIXES+=("$prefix")
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    wineboot --init >/dev/null 2>&1
    wine winecfg -v win10 >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d no3d /f >/dev/null 2>&1
    wineserver -w
}

# Each step runs whatever became of the one before it.
end_session() {
    set +e
    local prefix
    for prefix in "${PREFIXES[@]}"; do
        WINEPREFIX=$prefix wineserver -k 2>/dev/null
        rm -rf --one-file-system "$prefix"
    done
    [ -z "$SESSION_DIR" ] || rm -rf "$SESSION_DIR"
}

# The Windows viewer $1 (a Unix path, or a Windows one inside the current
# prefix) driven through the X server by the native tst_orbitviewer, at
# scale 1 and 1.5. Wine 8 refuses the per-monitor DPI awareness (V2) Qt asks
# for first, and Qt warns about it on every start; the checks, which want
# the viewer to say nothing, ask it for the first version, which Wine has.
WINDOWS_PLATFORM="-platform windows:dpiawareness=2"
check_viewer() {
    local viewer=$1
    local tests=(startAndClose drag "noOpenGL:OpenGL 1.4 only" shadersRejected)
    (cd "$ROOT/build/tests" &&
        export ORBITVIEWER_TEST_TIME_FACTOR=$TIME_FACTOR \
            ORBITVIEWER_COMMAND="sh \"$ROOT/tests/run-under-wine.sh\" \"$viewer\" $WINDOWS_PLATFORM" &&
        run_unskipped ./tst_orbitviewer "${tests[@]}" && QT_SCALE_FACTOR=1.5 run_unskipped ./tst_orbitviewer drag)
}
