#!/usr/bin/env bash
# Installs what is missing, builds the viewer (Release) and opens it.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
configure
cmake --build "$BUILD_DIR" -j2 --target orbitviewer

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Built $BUILD_DIR/orbitviewer, but there is no display to open it on (DISPLAY is not set)." >&2
    exit 1
fi
exec "$BUILD_DIR/orbitviewer"
