#!/usr/bin/env bash
# Installs what is missing, builds the viewer (Release) and opens it.
source "$(dirname "$0")/setup.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build_preset release orbitviewer

[ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] ||
    fail "Built $BUILD_DIR/orbitviewer, but there is no display to open it on" \
        "(neither DISPLAY nor WAYLAND_DISPLAY is set)."
exec "$BUILD_DIR/orbitviewer"
