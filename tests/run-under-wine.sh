#!/bin/sh
# Runs a Windows program under Wine: CMake's emulator for the Windows build's
# tests, and the viewer command of tst_orbitviewer for the Windows viewer.
#
#   run-under-wine.sh <program.exe> [args]
#
# Wine hands no variable named QT_* to a Windows program, but one named
# WINEQT_* arrives as QT_*: each QT_* of this environment is passed on that
# way, so that QT_SCALE_FACTOR and the like reach Qt. Qt writes its messages,
# and QtTest its results, to the debugger of a program without a console
# unless QT_FORCE_STDERR_LOGGING is set. ORBITVIEWER_WINE_PATH lists, with
# colons, the directories of the DLLs the program needs (Qt's, the
# compiler's runtime) when they are not beside it. WINEPREFIX and DISPLAY
# come from the caller (scripts/windows.sh).
set -eu
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    export "WINE$name=$(printenv "$name")"
done
export WINEQT_FORCE_STDERR_LOGGING=1
export WINEDEBUG="${WINEDEBUG:--all}"
if [ -n "${ORBITVIEWER_WINE_PATH:-}" ]; then
    WINEPATH=$(printf '%s' "$ORBITVIEWER_WINE_PATH" | sed 's|^|Z:|; s|:/|;Z:/|g')
    export WINEPATH
fi
exec wine "$@"
