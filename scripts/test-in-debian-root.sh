#!/usr/bin/env bash
# Runs the test command, the benchmark or the web command as a new user of a
# Debian release would: in a fresh minimal root that mmdebstrap makes from
# the archive this machine's apt uses (or DEBIAN_MIRROR) and takes down
# again, with this checkout's working tree copied into it. Needs root.
#
#   scripts/test-in-debian-root.sh <suite> [stage...]
#   scripts/test-in-debian-root.sh <suite> bench [runs]
#   scripts/test-in-debian-root.sh <suite> web
#   scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]
#
# e.g. "trixie release" runs the Release suite on Debian 13. With web, the
# root shares this machine's Qt for WebAssembly, and the served folder and
# the check's pictures come back into build-wasm/.
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
# alone. The root's copy is a repository of its own for the lint stage.
archive_working_tree() {
    GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0=$ROOT cmake -DSOURCE_DIR="$ROOT" \
        -DNAME=orbitviewer -DARCHIVE="$TREE/tree.tar.gz" -P "$ROOT/packaging/sourcearchive.cmake"
}

# mmdebstrap runs each hook under sh with the root in $1, the rest in the
# environment. The command's status ends the run once the files it leaves
# are copied out. The root's apt accepts an expired Release file: testing's
# and unstable's Valid-Until may have passed on a lagging archive.
run_in_root() {
    local hooks=()
    # The root trusts what this machine trusts: the certificate authorities
    # it added itself (a company's, or its proxy's) go in beside Debian's.
    hooks+=(--customize-hook='cp /etc/resolv.conf "$1/etc/resolv.conf" &&
        { [ ! -d /usr/local/share/ca-certificates ] ||
            cp -r /usr/local/share/ca-certificates/. "$1/usr/local/share/ca-certificates/"; } &&
        chroot "$1" update-ca-certificates >/dev/null 2>&1 && tar -xzf "$TREE/tree.tar.gz" --no-same-owner -C "$1/root"')
    if [ "${1-}" = web ]; then
        hooks+=(--customize-hook='mkdir -p "$1/var/cache/orbitviewer" &&
            for qt in "$QT_CACHE"/qtbase-*-wasm-*/; do
                [ ! -e "$qt.complete" ] || cp -a "$qt" "$1/var/cache/orbitviewer/"; done')
    fi
    # Debian 13's qemu-user, whose programs are static, serves a root of any
    # release: Debian 12's 7.2 refuses the clone flags Qt's QProcess uses.
    [ -z "$ARCH" ] || hooks+=(--customize-hook='mmdebstrap --quiet --variant=extract --include=qemu-user trixie \
        "$1/opt/qemu" "$MIRROR" && ln -s /opt/qemu/usr/bin/qemu-"$ARCH" "$1/usr/local/bin/"')
    hooks+=(--customize-hook='chroot "$1" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "grep -h PRETTY_NAME /etc/os-release &&
        cd /root/orbitviewer && git init -q && git add -A && bash scripts/$ROOT_COMMAND"; echo $? >"$1/root/status"')
    if [ "${1-}" = web ]; then
        hooks+=(--customize-hook='for qt in "$1"/var/cache/orbitviewer/qtbase-*-wasm-*/; do
                [ ! -e "$qt.complete" ] || [ -e "$QT_CACHE/$(basename "$qt")" ] || cp -a "$qt" "$QT_CACHE/"; done
            rm -rf "${ROOT:?}/build-wasm/web" "$ROOT/build-wasm/web-check" && mkdir -p "$ROOT/build-wasm"
            for folder in "$1"/root/orbitviewer/build-wasm/web "$1"/root/orbitviewer/build-wasm/web-check; do
                [ ! -d "$folder" ] || cp -a "$folder" "$ROOT/build-wasm/"; done
            chown -R --reference="$ROOT" "$ROOT/build-wasm"')
    fi
    hooks+=(--customize-hook='exit "$(cat "$1/root/status")"')
    echo "== scripts/$ROOT_COMMAND in a fresh Debian $SUITE root"
    mmdebstrap --quiet --variant=minbase --include=ca-certificates,git \
        --aptopt='Acquire::Check-Valid-Until "false"' "${hooks[@]}" "$SUITE" /dev/null "$MIRROR"
}

[ "$(id -u)" -eq 0 ] || fail "Making and entering a Debian root needs root."
ensure_packages mmdebstrap cmake git
MIRROR=$(debian_sources | awk '$2 !~ /-security$/ { print $1; exit }')
TREE=$(mktemp -d)
trap 'rm -rf "$TREE"' EXIT
archive_working_tree
export ROOT QT_CACHE ROOT_COMMAND TREE ARCH MIRROR
run_in_root "$@"
