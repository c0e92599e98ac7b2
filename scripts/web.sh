#!/usr/bin/env bash
# The viewer as a web page, built against Qt for WebAssembly from Debian's
# source: the wasm workflow preset, whose tests check the page in Chromium,
# Firefox and WebKit and as nginx and Caddy serve it (docs/platforms.md
# lists the checks), then the mutation list's web faults. Debian 12's
# Emscripten is too old for any Qt 6, so elsewhere it all runs in a fresh
# Debian 13 root (scripts/test-in-debian-root.sh). Needs root.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

WEB_PACKAGES=(cmake ninja-build g++ qt6-base-dev emscripten nodejs npm "${DISPLAY_PACKAGES[@]}" dpkg-dev
    fonts-dejavu-core gzip brotli)
# The page's browsers, one an engine, and the servers it is checked from.
PAGE_CHECKS=(chromium firefox-esr webkit2gtk-driver xdotool python3 nginx libnginx-mod-http-brotli-static caddy openssl)

# Qt looks for Emscripten through EMSDK, in emsdk's layout: a folder whose
# .emscripten names upstream/emscripten, where Debian's package lives.
prepare_emsdk() {
    EMSDK=$QT_CACHE/emsdk
    mkdir -p "$EMSDK/upstream"
    ln -sfn /usr/share/emscripten "$EMSDK/upstream/emscripten"
    echo "EMSCRIPTEN_ROOT = emsdk_path + '/upstream/emscripten'" >"$EMSDK/.emscripten"
    export EMSDK
}

if [ "$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")" != debian-13 ]; then
    echo "== The web build is made with Debian 13's Emscripten and Qt; building and checking in a Debian 13 root"
    exec bash "$ROOT/scripts/test-in-debian-root.sh" trixie web
fi
ensure_packages "${WEB_PACKAGES[@]}" "${PAGE_CHECKS[@]}"
leave_session
prepare_emsdk
ORBITVIEWER_WASM_QT=$(qt_prefix wasm)
export ORBITVIEWER_WASM_QT
# The frames are judged natively, by the same model the desktop suite uses.
build_preset release webframecheck
run_workflow wasm --fresh
MUTATE_PLATFORM=web in_private_display bash "$ROOT/scripts/mutate.sh"
echo "== The page passed; serve $(preset_dir wasm)/web to use it"
