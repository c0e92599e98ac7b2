#!/usr/bin/env bash
# Runs the test command, or the benchmark, in a fresh root of a Debian
# release, as a new user on that release would: a minimal system made by
# mmdebstrap, a clone of this checkout, and scripts/test.sh (or
# scripts/bench.sh), which installs the rest.
#
#   scripts/test-in-debian-root.sh <suite> [stage...]
#   scripts/test-in-debian-root.sh <suite> bench [runs]
#   scripts/test-in-debian-root.sh <suite> web
#   scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]
#
# e.g. "trixie release" runs the Release suite on Debian 13; "testing" and
# "sid" (unstable) work too, even from an archive whose Release file for them
# has passed its Valid-Until date (with a warning). With --arch the
# Release suite is built for that ARM architecture and runs under emulation
# (scripts/test-cross.sh, scripts/emulation.sh); for that alone the host
# gets a binfmt_misc entry, and binfmt_misc mounted if it was not.
#
# With web, scripts/web.sh runs there instead: the root shares this
# machine's Qt cache (scripts/qt-from-source.sh), where Qt for WebAssembly is
# built once, and the served folder and the check's pictures are copied back
# into this checkout's build-wasm/.
#
# The packages come from the Debian archive this machine's apt uses, or from
# DEBIAN_MIRROR. Needs root. The root lives in a temporary directory; its mounts and
# processes, and whatever the run added to the host, are removed when this
# ends, whether the tests pass or not.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/emulation.sh"
source "$ROOT/scripts/qt-from-source.sh"

ARCH=
if [ "${1-}" = --arch ]; then
    ARCH=${2:?usage: scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]}
    shift 2
fi
SUITE=${1:?usage: scripts/test-in-debian-root.sh [--arch arm64|armhf] <suite> [stage...]}
shift
MIRROR=
TARGET=

check_arguments() {
    [ -n "$ARCH" ] || return 0
    if ! qemu_cpu "$ARCH" >/dev/null; then
        echo "--arch takes arm64 or armhf, not '$ARCH'." >&2
        exit 2
    fi
    if [ $# -gt 1 ] || { [ $# -eq 1 ] && [ "$1" != release ]; }; then
        echo "Only the Release suite runs for another architecture." >&2
        exit 2
    fi
}

# Testing and unstable carry a Valid-Until date in their Release file, and
# an archive that lags behind (a snapshot, a stale mirror) may serve one past
# it, which apt then refuses. Say so, and let the root's apt accept it: the
# option lives in the root alone, the host's apt is left as it is.
ROOT_APT_OPTIONS=()
accept_expired_release() {
    local release valid
    release=$(mktemp)
    if /usr/lib/apt/apt-helper download-file "${MIRROR%/}/dists/$SUITE/Release" "$release" >/dev/null 2>&1; then
        valid=$(sed -n 's/^Valid-Until: //p' "$release")
        if [ -n "$valid" ] && [ "$(date -d "$valid" +%s)" -lt "$(date +%s)" ]; then
            echo "warning: the Release file of $SUITE at $MIRROR was valid until $valid;" \
                "the root's apt is told to accept it." >&2
            ROOT_APT_OPTIONS=(--aptopt='Acquire::Check-Valid-Until "false"')
        fi
    fi
    rm -f "$release"
}

make_root() {
    TARGET=$(mktemp -d "${TMPDIR:-/var/tmp}/orbitviewer-$SUITE.XXXXXX")
    echo "== A fresh Debian $SUITE root in $TARGET"
    accept_expired_release
    interruptibly mmdebstrap --quiet --variant=minbase --include=ca-certificates,git "${ROOT_APT_OPTIONS[@]}" \
        "$SUITE" "$TARGET" "$MIRROR"
    cp /etc/resolv.conf "$TARGET/etc/resolv.conf"
    # A clone holds what is committed; say so when that is not everything.
    if [ -n "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ]; then
        echo "warning: this tree has uncommitted changes; the root tests the last commit," \
            "$(git -C "$ROOT" log -1 --format='%h %s'), without them." >&2
    fi
    git clone --quiet "$ROOT" "$TARGET/root/orbitviewer"
}

mount_system() {
    mount -t proc proc "$TARGET/proc"
    mount -t sysfs sysfs "$TARGET/sys"
    mount --rbind /dev "$TARGET/dev"
    mount --make-rslave "$TARGET/dev"
    mount -t tmpfs tmpfs "$TARGET/tmp"
}

# The web build's Qt is built once and kept: the root uses, and fills, this
# machine's cache, at the path where root's runs keep it.
share_qt_cache() {
    mkdir -p "$QT_CACHE" "$TARGET/var/cache/orbitviewer"
    mount --bind "$QT_CACHE" "$TARGET/var/cache/orbitviewer"
}

# What the web run leaves for its user: the served folder and the pictures
# its check took, whether it passed or not.
copy_back_web() {
    local folder
    for folder in web web-check; do
        rm -rf "${ROOT:?}/build-wasm/$folder"
        if [ -d "$TARGET/root/orbitviewer/build-wasm/$folder" ]; then
            mkdir -p "$ROOT/build-wasm"
            cp -a "$TARGET/root/orbitviewer/build-wasm/$folder" "$ROOT/build-wasm/"
        fi
    done
}

# Ends every process still running inside the root, then its mounts.
remove_root() {
    [ -n "$TARGET" ] && [ -d "$TARGET" ] || return 0
    local pid mountpoint
    for pid in /proc/[0-9]*; do
        if [ "$(readlink "$pid/root" 2>/dev/null)" = "$TARGET" ]; then
            kill -KILL "${pid#/proc/}" 2>/dev/null || true
        fi
    done
    sleep 1
    awk -v root="$TARGET" 'index($2, root "/") == 1 { print $2 }' /proc/self/mounts | sort -r |
        while read -r mountpoint; do
            umount -l "$mountpoint" || echo "warning: $mountpoint could not be unmounted" >&2
        done
    # A bind mount (the shared cache) is on the same file system, and
    # --one-file-system would not keep rm out of it.
    if awk -v root="$TARGET" 'index($2, root "/") == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
        echo "warning: $TARGET still has mounts, and is left in place" >&2
        return 0
    fi
    rm -rf --one-file-system "$TARGET" || echo "warning: $TARGET could not be removed entirely" >&2
}

# Every step runs, whatever the one before it did: a mount that will not go
# must not leave the emulator registered on the host.
clean_up() {
    set +e
    remove_root
    remove_emulation
}

run_tests() {
    local script=test.sh
    if [ -n "$ARCH" ]; then
        script=test-cross.sh
        set -- "$ARCH"
    elif [ "${1-}" = bench ]; then
        script=bench.sh
        shift
    elif [ "${1-}" = web ]; then
        script=web.sh
        shift
    fi
    echo "== scripts/$script${*:+ $*} on Debian $SUITE"
    interruptibly chroot "$TARGET" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c 'grep -h PRETTY_NAME /etc/os-release; script=$1; shift; cd /root/orbitviewer && bash "scripts/$script" "$@"' \
        run "$script" "$@"
}

if [ "$(id -u)" -ne 0 ]; then
    echo "Making and entering a Debian root needs root." >&2
    exit 1
fi
check_arguments "$@"
ensure_packages mmdebstrap
MIRROR=$(debian_archive)
trap clean_up EXIT
trap 'exit 1' INT TERM
make_root
mount_system
if [ -n "$ARCH" ]; then
    unpack_qemu
    register_emulator "$ARCH"
fi
if [ "${1-}" = web ]; then
    share_qt_cache
    status=0
    run_tests "$@" || status=$?
    copy_back_web
    exit $status
fi
run_tests "$@"
