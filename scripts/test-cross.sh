#!/usr/bin/env bash
# Cross-builds the Release suite for arm64 or armhf and runs it here under
# qemu-user 10 or later, registered through binfmt_misc, every time limit
# times TIME_FACTOR (default 5); docs/platforms.md says more.
#
#   scripts/test-cross.sh arm64|armhf
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/suite.sh"
ARCH=${1-}
TIME_FACTOR=${TIME_FACTOR:-5}

check_arguments() {
    case $ARCH in
    arm64 | armhf) ;;
    *)
        echo "usage: scripts/test-cross.sh arm64|armhf" >&2
        exit 2
        ;;
    esac
}

add_architecture() {
    dpkg --print-foreign-architectures | grep -qx "$ARCH" && return 0
    echo "Adding the $ARCH architecture to dpkg ..."
    as_root dpkg --add-architecture "$ARCH"
    APT_UPDATED=
}

# The build machine's compiler, code generators, X server and compositors;
# the target's libraries, Qt's among them. Recommends would bring a desktop's
# worth of ARM libraries that nothing here uses.
install_dependencies() {
    local target=() pkg
    for pkg in "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}"; do
        case $pkg in
        cmake | ninja-build | g++) ;;
        *) target+=("$pkg:$ARCH") ;;
        esac
    done
    ensure_packages cmake ninja-build "${TEST_PROGRAMS[@]}"
    ensure_packages --no-recommends "crossbuild-essential-$ARCH" qt6-base-dev-tools "${TEST_COMPOSITORS[@]}" \
        "${target[@]}"
}

check_emulation() {
    if ! "$ROOT/build-$ARCH/tests/tst_orbitcontrols" -functions >/dev/null 2>&1; then
        fail "This machine cannot run $ARCH programs. Register qemu-user 10 or later through binfmt_misc" \
            "(Debian 13's qemu-user-binfmt), or run scripts/test-in-debian-root.sh --arch $ARCH <suite>."
    fi
}

check_arguments
add_architecture
install_dependencies
leave_session
build_preset "$ARCH" -DORBITVIEWER_TEST_TIME_FACTOR="$TIME_FACTOR"
check_emulation
echo "== Test suite for $ARCH, under emulation, time limits x$TIME_FACTOR"
run_suite "$ARCH" -DORBITVIEWER_TEST_TIME_FACTOR="$TIME_FACTOR"
