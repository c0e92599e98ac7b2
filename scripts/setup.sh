# shellcheck shell=bash disable=SC2034  # sourced: its variables are read by the scripts that source it
# Sourced first by every script, not run: strict mode, and the helpers that
# install what the build needs, configure a build directory and run
# commands in a private display.

set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$(pwd -P)

BUILD_LIBRARIES=(qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins qt6-wayland libgl1-mesa-dri libx11-dev)
BUILD_PACKAGES=(cmake ninja-build g++ "${BUILD_LIBRARIES[@]}")
# The private X server of in_private_display.
DISPLAY_PACKAGES=(xvfb xauth)
# What the test suite needs besides: a library its tests link (XTest), the
# programs of the sessions it runs in, and GNOME's and KDE's compositors,
# installed without recommends, which would bring the rest of each desktop.
TEST_LIBRARIES=(libxtst-dev)
TEST_PROGRAMS=("${DISPLAY_PACKAGES[@]}" weston openbox)
TEST_COMPOSITORS=(mutter kwin-wayland dbus)
# The Debian package's checks, and the cpack that makes it.
PACKAGE_CHECKS=(dpkg-dev lintian appstream man-db)

# Installs the Debian packages among "$@" that apt's simulation, which needs
# no root, finds missing: one that another provides counts as there (Debian
# 13's qt6-base-dev provides libqt6opengl6-dev). Without apt, CMake reports
# what is missing.
ensure_packages() {
    local options=(--no-upgrade) plan
    if [ "${1-}" = --no-install-recommends ]; then
        options+=("$1")
        shift
    fi
    if ! command -v apt-get >/dev/null; then
        echo "No apt here, so nothing is installed. Needed (Debian's names): $*" >&2
        return 0
    fi
    if plan=$(apt-get -s -qq install "${options[@]}" "$@" 2>/dev/null) && ! grep -q '^Inst ' <<<"$plan"; then
        return 0
    fi
    echo "Installing what is missing of $* ..."
    [ -n "${APT_UPDATED:-}" ] || apt_get_waiting update -qq || exit 1
    APT_UPDATED=1
    apt_get_waiting install -y -qq "${options[@]}" "$@" >/dev/null || exit 1
}

# apt-get as root, waiting up to APT_LOCK_WAIT seconds (default 600) while
# another apt or dpkg holds its locks, as a fresh desktop's automatic
# updates do for minutes.
apt_get_waiting() {
    local limit=${APT_LOCK_WAIT:-600} started=$SECONDS said='' errors status=0
    errors=$(mktemp)
    while ! as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=10 "$@" 2>"$errors"; do
        status=1
        grep -qE 'Could not get lock|Unable to (acquire|lock)' "$errors" || break
        [ $((SECONDS - started)) -lt "$limit" ] || break
        [ -n "$said" ] || echo "Another apt or dpkg holds its locks; waiting for it (up to $limit s) ..." >&2
        said=1 status=0
        sleep 5
    done
    cat "$errors" >&2
    rm -f "$errors"
    return $status
}

# The Debian archives this machine's apt uses, one "URI suite component"
# line each, as apt reads them (both source formats, suites by codename or
# name), leaving out other vendors' (a cloud SDK, Node.js); or DEBIAN_MIRROR's
# suites of this release.
debian_sources() {
    local codename sources
    if [ -n "${DEBIAN_MIRROR:-}" ]; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        printf '%s %s main\n' "$DEBIAN_MIRROR" "$codename" "$DEBIAN_MIRROR" "$codename-updates"
        return 0
    fi
    # apt knows no archive until its lists have been fetched once.
    [ -n "$(debian_index_targets)" ] || [ "$(id -u)" -ne 0 ] || apt_get_waiting update -qq >&2 || return 1
    sources=$(debian_index_targets)
    [ -n "$sources" ] || fail "No Debian archive found in this machine's apt sources; set DEBIAN_MIRROR to one."
    echo "$sources"
}

debian_index_targets() {
    apt-get indextargets --format '$(ORIGIN)|$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' \
        'Target-Of: deb' 2>/dev/null | awk -F'|' '$1 == "Debian" { sub(/\/ /, " ", $2); if (!seen[$2]++) print $2 }'
}

fail() {
    echo "$*" >&2
    exit 1
}

usage() {
    printf 'usage: %s\n' "$@" >&2
    exit 2
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        fail "Needs root: $*. Run this as root, or install sudo."
    fi
}

# Forgets the desktop session this runs from, and the Qt and Mesa settings
# that would change what a test sees, so that results mean the same anywhere.
leave_session() {
    unset DISPLAY WAYLAND_DISPLAY XDG_SESSION_TYPE XAUTHORITY \
        QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
        QT_ENABLE_HIGHDPI_SCALING QT_SCALE_FACTOR_ROUNDING_POLICY QT_FONT_DPI QT_XCB_GL_INTEGRATION QT_OPENGL \
        QT_LOGGING_RULES QT_DEBUG_PLUGINS QT_MESSAGE_PATTERN \
        MESA_GL_VERSION_OVERRIDE MESA_GLSL_VERSION_OVERRIDE MESA_GLES_VERSION_OVERRIDE MESA_LOADER_DRIVER_OVERRIDE \
        LIBGL_ALWAYS_SOFTWARE LIBGL_ALWAYS_INDIRECT GALLIUM_DRIVER
    # Qt warns on start when the locale is not UTF-8.
    export LC_ALL=C.UTF-8
}

# A virtual X server of the command's own, which must not reset when its last
# client leaves: a test that reconnects would race the reset.
in_private_display() {
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
}

# Configures preset $1 of the checkout, or of source tree $2, and prints
# its build folder as CMake reports it.
preset_dir() {
    (cd "${2:-$ROOT}" && cmake --preset "$1" | sed -n 's/^-- Build files have been written to: //p')
}

# Configures preset $1 and builds the targets that follow it (all without);
# BUILD_DIR is then its build folder.
build_preset() {
    local preset=$1
    shift
    BUILD_DIR=$(preset_dir "$preset")
    [ -n "$BUILD_DIR" ] || exit 1
    (cd "$ROOT" && cmake --build --preset "$preset" ${1:+--target "$@"}) || exit 1
}

# Workflow preset $1: configures, builds, tests and packages as it says, in
# a private X server unless one is exported already (the Windows checks').
# Further arguments go to cmake --workflow: --fresh for a build against a
# Qt of the scripts' own, which may have been built anew since.
run_workflow() {
    local display=(in_private_display)
    if [ -n "${DISPLAY:-}" ]; then
        display=()
    fi
    (cd "$ROOT" && "${display[@]}" cmake --workflow --preset "$@")
}

# Qt warns on start when a session has no runtime directory (root over ssh,
# CI); give it the private one it would fall back to anyway.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    export XDG_RUNTIME_DIR
    [ -d "$XDG_RUNTIME_DIR" ] || mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
