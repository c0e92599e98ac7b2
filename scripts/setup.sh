# Shared by run.sh and test.sh: installs what the build needs and configures
# the build directory. Sourced, not run.

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT=$PWD
BUILD_DIR=$ROOT/build

BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins libgl1-mesa-dri libx11-dev)

# Installs the Debian packages among "$@" that are not installed yet.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Missing packages: ${missing[*]}. Install them as root, or run this as root." >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]} ..."
    if [ -z "${APT_UPDATED:-}" ]; then
        "${sudo[@]}" apt-get update -qq || exit 1
        APT_UPDATED=1
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null || exit 1
}

# Runs a command on the display, or in a virtual X server when there is none.
run_with_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
}

configure() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null || exit 1
}

# Qt warns on start when a session has no runtime directory (root over ssh,
# CI); give it the private one it would fall back to anyway.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
