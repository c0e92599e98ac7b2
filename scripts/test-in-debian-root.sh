#!/usr/bin/env bash
# Runs the test command, the benchmark or the web command as a new user of a
# Debian release would: in a fresh minimal root that mmdebstrap makes from
# the archive this machine's apt uses (or DEBIAN_MIRROR) and takes down
# again, with this checkout's working tree cloned into it. Needs root.
#
#   scripts/test-in-debian-root.sh <suite> [stage...]
#   scripts/test-in-debian-root.sh <suite> bench [runs]
#   scripts/test-in-debian-root.sh <suite> web
#   scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]
#
# e.g. "trixie release" runs the Release suite on Debian 13. With web, the
# root shares this machine's Qt for WebAssembly, and the served folder and
# the check's pictures come back into build-wasm/.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

ARCH=
if [ "${1-}" = --arch ]; then
    ARCH=${2:?usage: scripts/test-in-debian-root.sh --arch arm64|armhf <suite> [release]}
    shift 2
fi
SUITE=${1:?usage: scripts/test-in-debian-root.sh [--arch arm64|armhf] <suite> [stage...]}
shift
MIRROR=

check_arguments() {
    [ -n "$ARCH" ] || return 0
    if [ "$ARCH" != arm64 ] && [ "$ARCH" != armhf ]; then
        echo "--arch takes arm64 or armhf, not '$ARCH'." >&2
        exit 2
    fi
    if [ $# -gt 1 ] || { [ $# -eq 1 ] && [ "$1" != release ]; }; then
        echo "Only the Release suite runs for another architecture." >&2
        exit 2
    fi
}

root_command() {
    if [ -n "$ARCH" ]; then
        echo "test-cross.sh $ARCH"
    elif [ "${1-}" = bench ] || [ "${1-}" = web ]; then
        echo "$1.sh ${*:2}"
    else
        echo "test.sh $*"
    fi
}

# The working tree as it is, uncommitted edits and new files included, as a
# commit that the root's clone checks out: made by the checkout's owner,
# with an index of its own, so that neither the checkout's index and
# branches nor the owner of any file in it change. Root reads the checkout
# only to clone it, and trusts it for that alone (git's safe.directory, in a
# global configuration of the clone's own).
working_tree_commit() {
    local owner=() index
    [ "$(stat -c %u "$ROOT")" = "$(id -u)" ] || owner=(runuser -u "$(stat -c %U "$ROOT")" --)
    index=$("${owner[@]}" mktemp)
    cp "$("${owner[@]}" git -C "$ROOT" rev-parse --path-format=absolute --git-path index)" "$index"
    "${owner[@]}" env GIT_INDEX_FILE="$index" GIT_AUTHOR_NAME=orbitviewer GIT_AUTHOR_EMAIL=orbitviewer@localhost \
        GIT_COMMITTER_NAME=orbitviewer GIT_COMMITTER_EMAIL=orbitviewer@localhost sh -c \
        'cd "$1" && git add -A && git commit-tree -p HEAD -m "The working tree" "$(git write-tree)"' sh "$ROOT"
    rm -f "$index"
}

# mmdebstrap runs each hook under sh with the root in $1; the rest comes
# through the environment. The command's status is kept until the files
# the run leaves have been copied out, then it ends mmdebstrap's run.
# Testing and unstable carry a Valid-Until date that an archive lagging
# behind (a snapshot, a stale mirror) may have passed, so the root's apt
# accepts an expired Release file.
run_in_root() {
    local hooks=()
    # The root trusts what this machine trusts: the certificate authorities
    # it added itself (a company's, or its proxy's) go in beside Debian's.
    hooks+=(--customize-hook='cp /etc/resolv.conf "$1/etc/resolv.conf" &&
        { [ ! -d /usr/local/share/ca-certificates ] ||
            cp -r /usr/local/share/ca-certificates/. "$1/usr/local/share/ca-certificates/"; } &&
        chroot "$1" update-ca-certificates >/dev/null 2>&1 &&
        GIT_CONFIG_GLOBAL=$TRUST_CHECKOUT git clone --quiet "$ROOT" "$1/root/orbitviewer" &&
        git -C "$1/root/orbitviewer" checkout --quiet "$TREE"')
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
        cd /root/orbitviewer && bash scripts/$ROOT_COMMAND"; echo $? >"$1/root/status"')
    if [ "${1-}" = web ]; then
        hooks+=(--customize-hook='for qt in "$1"/var/cache/orbitviewer/qtbase-*-wasm-*/; do
                [ ! -e "$qt.complete" ] || [ -e "$QT_CACHE/$(basename "$qt")" ] || cp -a "$qt" "$QT_CACHE/"; done
            for folder in web web-check; do
                rm -rf "${ROOT:?}/build-wasm/$folder"
                [ ! -d "$1/root/orbitviewer/build-wasm/$folder" ] ||
                    { mkdir -p "$ROOT/build-wasm" && cp -a "$1/root/orbitviewer/build-wasm/$folder" "$ROOT/build-wasm/" &&
                        chown -R --reference="$ROOT" "$ROOT/build-wasm"; }
            done')
    fi
    hooks+=(--customize-hook='exit "$(cat "$1/root/status")"')
    echo "== scripts/$ROOT_COMMAND in a fresh Debian $SUITE root"
    TRUST_CHECKOUT=$(mktemp)
    printf '[safe]\n\tdirectory = %s\n\tdirectory = %s/.git\n' "$ROOT" "$ROOT" >"$TRUST_CHECKOUT"
    export TRUST_CHECKOUT
    local status=0
    mmdebstrap --quiet --variant=minbase --include=ca-certificates,git \
        --aptopt='Acquire::Check-Valid-Until "false"' "${hooks[@]}" "$SUITE" /dev/null "$MIRROR" || status=$?
    rm -f "$TRUST_CHECKOUT"
    return $status
}

[ "$(id -u)" -eq 0 ] || fail "Making and entering a Debian root needs root."
check_arguments "$@"
ensure_packages mmdebstrap
MIRROR=$(debian_sources | awk '$2 !~ /-security$/ { print $1; exit }')
ROOT_COMMAND=$(root_command "$@")
TREE=$(working_tree_commit)
export ROOT QT_CACHE ROOT_COMMAND TREE ARCH MIRROR
run_in_root "$@"
