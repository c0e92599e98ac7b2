#!/usr/bin/env bash
# The Windows x64 release, cross-built on Debian and checked under Wine: the
# windows workflow preset, whose tests run the suite, check the packages as
# a Windows user meets them and drive the viewer from the native
# tst_orbitviewer (docs/platforms.md lists them), then the mutation list's
# Windows faults. Installs what is missing as root (through sudo when run
# as a user), builds Qt for Windows, and runs in a private X server.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

install_dependencies() {
    # moc and rcc of the build machine, and the native tst_orbitviewer that
    # drives the Windows viewer from outside.
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" "${DISPLAY_PACKAGES[@]}" qt6-base-dev-tools dpkg-dev \
        g++-mingw-w64-x86-64-posix wine wine64 xdotool unzip nsis icoutils librsvg2-bin file
}

# One run at a time in a checkout (runs from other clones share only the Qt
# build), under flock on this script, which alone holds the lock, so that no
# Wine process inherits it; in an X server large enough for the widest
# window at scale 2.
if [ -z "${ORBITVIEWER_WINDOWS_RUN:-}" ]; then
    install_dependencies
    leave_session
    self=$ROOT/scripts/windows.sh
    flock -n "$self" true || echo "== Waiting for another run of scripts/windows.sh in this checkout"
    ORBITVIEWER_WINDOWS_RUN=1 exec flock -o "$self" xvfb-run -a -s "-screen 0 2560x2048x24 -noreset" \
        bash "$self" "$@"
fi

ORBITVIEWER_WINDOWS_QT=$(qt_prefix windows)
export ORBITVIEWER_WINDOWS_QT
build_preset release tst_orbitviewer
echo "== The windows workflow, under $(wine --version)"
run_workflow windows --fresh
MUTATE_PLATFORM=windows bash "$ROOT/scripts/mutate.sh"
