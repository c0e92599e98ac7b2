# Shared by the scripts: installs what the build needs, configures a build
# directory and runs commands in a private display. Sourced, not run.

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT=$PWD

BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins qt6-wayland libgl1-mesa-dri
    libx11-dev)
# What the test suite needs besides: a library its tests link (XTest), the
# programs of the sessions it runs in, and GNOME's and KDE's compositors,
# installed without recommends, which would bring the rest of each desktop.
TEST_LIBRARIES=(libxtst-dev)
TEST_PROGRAMS=(xvfb xauth weston openbox)
TEST_COMPOSITORS=(mutter kwin-wayland dbus)

# Whether a package, or an installed package that provides it, is there.
# Debian 13's qt6-base-dev provides libqt6opengl6-dev, which is no longer a
# package of its own; without this it would be "installed" on every run. A
# name may carry an architecture (libqt6opengl6-dev:arm64); a provider counts
# only when it is of that architecture, or of this machine's without one.
package_installed() {
    dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii' && return 0
    local name=${1%%:*} arch
    arch=$(dpkg --print-architecture)
    [ "$name" = "$1" ] || arch=${1#*:}
    dpkg-query -W -f='${db:Status-Abbrev}|${Architecture}|${Provides}\n' 2>/dev/null |
        awk -F'|' -v name="$name" -v arch="$arch" '
        $1 ~ /^ii/ && ($2 == arch || $2 == "all") {
            n = split($3, provided, /, */)
            for (i = 1; i <= n; i++) {
                sub(/ .*/, "", provided[i])
                if (provided[i] == name) found = 1
            }
        }
        END { exit !found }'
}

# Installs the Debian packages among "$@" that are not installed yet. Where
# there is no dpkg and apt it installs nothing and says what must be there;
# CMake then reports anything that is still missing. With --no-recommends
# first, only what the packages depend on comes with them: a desktop's
# compositor otherwise brings the rest of that desktop.
ensure_packages() {
    local options=()
    if [ "${1-}" = --no-recommends ]; then
        options+=(--no-install-recommends)
        shift
    fi
    if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
        echo "No dpkg/apt here, so nothing is installed. Needed (Debian's names): $*" >&2
        return 0
    fi
    local missing=() pkg
    for pkg in "$@"; do
        package_installed "$pkg" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing ${missing[*]} ..."
    if [ -z "${APT_UPDATED:-}" ]; then
        as_root apt-get update -qq || exit 1
        APT_UPDATED=1
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null ||
        exit 1
}

# This machine's apt sources for Debian itself, one "URI suite component..."
# line for each suite: deb822 stanzas of Types deb first, then one-line deb
# entries. A source counts as Debian's when one of its suites is this
# release's codename or one of its updates (bookworm-security); other
# vendors' sources (a cloud SDK, Node.js) do not.
debian_sources() {
    local codename
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    {
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null
        echo
    } | awk -v codename="$codename" '
        function flush() {
            if (types ~ /(^| )deb( |$)/ && uris != "")
                for (i = 1; i <= nsuites; i++)
                    if (codename == "" || suites[i] == codename || index(suites[i], codename "-") == 1)
                        print uris, suites[i], components
            types = uris = components = ""; nsuites = 0
        }
        /^[[:space:]]*$/ { flush(); next }
        /^#/ { next }
        tolower($1) == "types:" { $1 = ""; types = substr($0, 2) }
        tolower($1) == "uris:" { uris = $2 }
        tolower($1) == "suites:" { nsuites = split(substr($0, index($0, $2)), suites, " ") }
        tolower($1) == "components:" { $1 = ""; components = substr($0, 2) }
        END { flush() }'
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk -v codename="$codename" '
        $1 == "deb" {
            sub(/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?/, "")
            if (codename == "" || $2 == codename || index($2, codename "-") == 1) print
        }'
}

# The Debian archive to make roots from: DEBIAN_MIRROR when set, otherwise
# the one this machine's apt already uses (its proxy or mirror included).
debian_archive() {
    if [ -n "${DEBIAN_MIRROR:-}" ]; then
        echo "$DEBIAN_MIRROR"
        return 0
    fi
    local archive
    archive=$(debian_sources | awk '$2 !~ /-security$/ { print $1; exit }')
    if [ -z "$archive" ]; then
        echo "No Debian archive found in this machine's apt sources (/etc/apt/sources.list," \
            "/etc/apt/sources.list.d/); set DEBIAN_MIRROR to one." >&2
        return 1
    fi
    echo "$archive"
}

# Runs a command as root: directly when this is root, through sudo otherwise.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "Needs root: $*. Run this as root, or install sudo." >&2
        exit 1
    fi
}

# Forgets the desktop session this runs from: its display, and the Qt and
# Mesa settings that would change what a test sees (scale, platform, GL
# version, logging, locale). Tests and benchmarks then mean the same
# everywhere.
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

# Runs a command in a virtual X server of its own, where Mesa renders in
# software; nothing appears on the user's screen. The server must not reset
# when its last client leaves: a test that closes its connection and opens
# another would race the reset.
in_private_display() {
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
}

# The rows the last CTest run in build directory $1 skipped, with their
# reasons, one line a test, function and reason: CTest counts a test whose
# rows skip as passed, and shows none of its output.
print_skips() {
    local log=$1/Testing/Temporary/LastTest.log
    [ -f "$log" ] || return 0
    awk '
        /^[0-9]+\/[0-9]+ Testing: / { test = $3 }
        /^SKIP   : / {
            line = substr($0, 10)
            cut = index(line, ") ")
            function_name = substr(line, 1, index(line, "(") - 1)
            sub(/^[A-Za-z]+::/, "", function_name)
            key = test ": " function_name ": " substr(line, cut + 2)
            if (!(key in count)) order[++n] = key
            count[key]++
        }
        END {
            if (n) print "Skipped, with their reasons:"
            for (i = 1; i <= n; i++)
                print "  " order[i] (count[order[i]] > 1 ? " (" count[order[i]] " rows)" : "")
        }' "$log"
}

# Configures and builds one of CMakePresets.json's presets; extra arguments
# go to the build (e.g. --target orbitviewer).
build_preset() {
    local preset=$1
    shift
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" "$@") || exit 1
}

# Qt warns on start when a session has no runtime directory (root over ssh,
# CI); give it the private one it would fall back to anyway.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
