#!/usr/bin/env bash
# Cross-builds the Release suite for arm64 or armhf, as its one argument
# says, and runs it here under qemu-user: that architecture's workflow
# preset (docs/platforms.md says more).
source "$(dirname "$0")/setup.sh"
ARCH=${1-}

add_architecture() {
    dpkg --print-foreign-architectures | grep -qx "$ARCH" && return 0
    echo "Adding the $ARCH architecture to dpkg ..."
    as_root dpkg --add-architecture "$ARCH"
    # shellcheck disable=SC2034  # read by ensure_packages
    APT_UPDATED=
}

# The build machine's compiler, code generators, X server and compositors;
# the target's libraries, Qt's among them. Recommends would bring a desktop's
# worth of ARM libraries that nothing here uses.
install_dependencies() {
    ensure_packages cmake ninja-build "${TEST_PROGRAMS[@]}"
    ensure_packages --no-install-recommends "crossbuild-essential-$ARCH" qt6-base-dev-tools "${TEST_COMPOSITORS[@]}" \
        "${BUILD_LIBRARIES[@]/%/:$ARCH}" "${TEST_LIBRARIES[@]/%/:$ARCH}"
}

# The presets' emulator, qemu-arm64 or qemu-armhf: Debian 12's qemu-user 7.2
# refuses the clone flags Qt's QProcess uses.
check_emulator() {
    local version
    command -v "qemu-$ARCH" >/dev/null || ensure_packages qemu-user
    version=$("qemu-$ARCH" --version 2>/dev/null | sed -n '1s/.* version \([0-9]*\).*/\1/p') || version=
    [ "${version:-0}" -ge 10 ] || fail "The suite needs qemu-$ARCH of qemu-user 10 or later, not '$version';" \
        "scripts/test-in-debian-root.sh --arch $ARCH <suite> brings Debian 13's."
    echo "== $ARCH programs run through $(command -v "qemu-$ARCH"), version $version"
}

[[ $ARCH == @(arm64|armhf) ]] || usage "scripts/test-cross.sh arm64|armhf"
add_architecture
install_dependencies
check_emulator
leave_session
run_workflow "$ARCH"
