#!/usr/bin/env bash
# The Windows x64 release, cross-built on Debian and checked under Wine in a
# private X server and private prefixes (docs/platforms.md lists the
# checks). Installs what is missing as root (through sudo when run as a user).
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"
source "$ROOT/scripts/suite.sh"
source "$ROOT/scripts/wine-session.sh"
source "$ROOT/scripts/windows-packages.sh"

install_dependencies() {
    # moc and rcc of the build machine, and the native tst_orbitviewer that
    # drives the Windows viewer from outside.
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" xvfb xauth qt6-base-dev-tools dpkg-dev \
        g++-mingw-w64-x86-64-posix wine wine64 xdotool unzip nsis icoutils librsvg2-bin file
}

# One run at a time in a checkout (runs from other clones share only the Qt
# build), under flock, which alone holds the lock, so that no Wine process
# inherits it; in an X server large enough for the widest window at scale 2.
if [ -z "${ORBITVIEWER_WINDOWS_RUN:-}" ]; then
    install_dependencies
    leave_session
    mkdir -p "$ROOT/build-windows"
    lock=$ROOT/build-windows/.run-lock
    flock -n "$lock" true || echo "== Waiting for another run of scripts/windows.sh in this checkout"
    ORBITVIEWER_WINDOWS_RUN=1 exec flock -o "$lock" xvfb-run -a -s "-screen 0 2560x2048x24 -noreset" \
        bash "$ROOT/scripts/windows.sh" "$@"
fi

test_windows_build() {
    WINDOWS_QT=$(qt_prefix windows) || exit 1
    export ORBITVIEWER_WINDOWS_QT=$WINDOWS_QT
    new_prefix
    echo "== Release build for Windows x64 (build-windows/) and its suite, under $(wine --version) in a private" \
        "prefix, time limits x$TIME_FACTOR"
    run_suite windows -DORBITVIEWER_TEST_TIME_FACTOR="$TIME_FACTOR"
    # project(VERSION) is the one place the version is written.
    VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$ROOT/build-windows/CMakeCache.txt")
}

plant_windows_faults() {
    (export MUTATE_PLATFORM=windows ORBITVIEWER_TEST_TIME_FACTOR=$TIME_FACTOR && bash "$ROOT/scripts/mutate.sh")
}

trap end_session EXIT
trap 'exit 1' INT TERM
SESSION_DIR=$(mktemp -d)
test_windows_build
check_executable_resources
make_packages
check_unpacked_viewer
check_failure_message_box
check_installer
check_kit_layout
plant_windows_faults
echo "== $(basename "$ZIP") and $(basename "$SETUP") built, tested under Wine, and checked as a Windows user gets them"
