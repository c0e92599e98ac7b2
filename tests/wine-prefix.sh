#!/bin/sh
# Wine prefixes for the Windows build's tests, which CTest's fixtures make
# and remove:
#
#   wine-prefix.sh new <prefix>             a fresh prefix, set to Windows 10
#   wine-prefix.sh end <prefix>             its Wine processes ended, removed
#   wine-prefix.sh state <prefix> <file>    what it holds, one line each
#   wine-prefix.sh silently <prefix> <exe>  runs an installer or uninstaller
#                                           silently, and waits for it
#
# Windows 10 is the oldest Windows Qt 6 supports. Wine's Direct3D is switched
# off: Qt's Windows plugin probes it at start, and that probe crashes when
# Mesa's OpenGL version is overridden. Mono and Gecko are not installed:
# nothing here uses .NET or HTML. Wine's menu builder is off, so that a
# Start-menu shortcut made inside the prefix leaves no desktop entry in the
# user's own menus.
set -eu
command=$1
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
case $command in
new)
    wineserver -k 2>/dev/null || true
    rm -rf --one-file-system "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wine winecfg -v win10 >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d no3d /f >/dev/null 2>&1
    wineserver -w
    ;;
end)
    wineserver -k 2>/dev/null || true
    rm -rf --one-file-system "$WINEPREFIX"
    ;;
state)
    # Its files outside Wine's own scratch space, and its machine's and
    # user's registry keys below Software.
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -print | sort) >"$3"
    for hive in 'HKLM\Software' 'HKCU\Software'; do
        wine reg export "$hive" "$WINEPREFIX/hive.reg" /y >/dev/null 2>&1
        iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/hive.reg" | tr -d '\r' | grep '^\[' | sort >>"$3"
        rm "$WINEPREFIX/hive.reg"
    done
    ;;
silently)
    # An uninstaller copies itself into the temporary folder and runs from there.
    wine "$3" /S >/dev/null 2>&1
    wineserver -w
    ;;
*)
    echo "usage: wine-prefix.sh new|end|state|silently <prefix> [file|installer]" >&2
    exit 2
    ;;
esac
