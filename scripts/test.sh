#!/usr/bin/env bash
# Installs what is missing, builds everything (Release) and runs the test
# suite. Without a display the suite runs in a virtual X server, where Mesa
# renders in software.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
if [ -z "${DISPLAY:-}" ]; then
    ensure_packages xvfb xauth
fi
configure -DBUILD_TESTING=ON
cmake --build "$BUILD_DIR" -j2

cd "$BUILD_DIR"
if [ -n "${DISPLAY:-}" ]; then
    ctest --output-on-failure
else
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure
fi
