#!/usr/bin/env bash
# Runs the test command, the benchmark or the web command as a new user of a
# Debian release would: in a fresh minimal root that mmdebstrap makes from
# the archive this machine's apt uses (or DEBIAN_MIRROR) and takes down
# again, with this checkout's working tree copied into it (USAGE below).
# Needs root. "trixie release" runs the Release suite on Debian 13. With
# web, the root shares this machine's Qt for WebAssembly, and the served
# folder and the check's pictures come back into the build folder.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

USAGE=("scripts/test-in-debian-root.sh <suite> [stage...|bench [runs]|web]"
    "scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]")
ARCH=
if [ "${1-}" = --arch ]; then
    ARCH=${2-}
    shift 2 || usage "${USAGE[@]}"
    [[ $ARCH == @(arm64|armhf) && "${*:2}" == @(|release) ]] || usage "${USAGE[@]}"
fi
SUITE=${1:-}
[ -n "$SUITE" ] || usage "${USAGE[@]}"
shift
if [ -n "$ARCH" ]; then
    ROOT_COMMAND="test-cross.sh $ARCH"
elif [[ ${1-} == @(bench|web) ]]; then
    ROOT_COMMAND="$1.sh ${*:2}"
else
    ROOT_COMMAND="test.sh $*"
fi

# The working tree as the source package takes it, uncommitted edits and new
# files included; root trusts the checkout (git's safe.directory) for that
# alone.
archive_working_tree() {
    GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0=$ROOT cmake -DSOURCE_DIR="$ROOT" \
        -DNAME=orbitviewer -DARCHIVE="$TREE/tree.tar.gz" -P "$ROOT/packaging/sourcearchive.cmake"
}

# The root's apt accepts an expired Release file: testing's and unstable's
# Valid-Until may have passed on a lagging archive.
run_in_root() {
    echo "== scripts/$ROOT_COMMAND in a fresh Debian $SUITE root"
    mmdebstrap --quiet --variant=minbase --include=ca-certificates --aptopt='Acquire::Check-Valid-Until "false"' \
        --customize-hook="$ROOT/scripts/debian-root-hook.sh" "$SUITE" /dev/null "$MIRROR"
}

[ "$(id -u)" -eq 0 ] || fail "Making and entering a Debian root needs root."
ensure_packages mmdebstrap cmake git
MIRROR=$(debian_sources | awk '$2 !~ /-security$/ { print $1; exit }')
TREE=$(mktemp -d)
trap 'rm -rf "$TREE"' EXIT
archive_working_tree
export ROOT QT_CACHE ROOT_COMMAND TREE ARCH MIRROR
run_in_root
