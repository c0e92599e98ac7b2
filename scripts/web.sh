#!/usr/bin/env bash
# The viewer as a web page in build-wasm/web, built against Qt for
# WebAssembly from Debian's source and checked in Chromium and Firefox
# (docs/platforms.md lists the checks). Debian 12's Emscripten is too old for
# any Qt 6, so elsewhere it all runs in a fresh Debian 13 root
# (scripts/test-in-debian-root.sh). Needs root.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

WEB_PACKAGES=(cmake ninja-build g++ qt6-base-dev emscripten nodejs npm chromium firefox-esr xvfb xauth python3 dpkg-dev
    fonts-dejavu-core gzip brotli)
# What the .wasm may weigh, as it is and gzipped.
WASM_BUDGET=$((8000 * 1000))
WASM_GZIP_BUDGET=$((3400 * 1000))

# Qt looks for Emscripten through EMSDK, in emsdk's layout: a folder whose
# .emscripten names upstream/emscripten, where Debian's package lives.
prepare_emsdk() {
    EMSDK=$QT_CACHE/emsdk
    mkdir -p "$EMSDK/upstream"
    ln -sfn /usr/share/emscripten "$EMSDK/upstream/emscripten"
    echo "EMSCRIPTEN_ROOT = emsdk_path + '/upstream/emscripten'" >"$EMSDK/.emscripten"
    export EMSDK
}

build_page() {
    ORBITVIEWER_WASM_QT=$(qt_prefix wasm) || exit 1
    export ORBITVIEWER_WASM_QT
    echo "== The page, against Qt for WebAssembly (build-wasm/web), and the camera's tests under Node"
    run_workflow wasm
}

# The frames are judged natively, by the same model the desktop suite uses.
build_judge() {
    echo "== The frame judge (build/tests/webframecheck)"
    build_preset release webframecheck >/dev/null
    export ORBITVIEWER_WEBFRAMECHECK=$ROOT/build/tests/webframecheck
}

check_in_browser() {
    echo "== The page in headless Chromium $(chromium --version 2>/dev/null | awk '{ print $2 }')"
    rm -rf "$ROOT/build-wasm/web-check"
    python3 "$ROOT/tests/webpage/check_page.py" "$ROOT/build-wasm/web" "$ORBITVIEWER_WEBFRAMECHECK" \
        "$ROOT/build-wasm/web-check"
}

# The same page in a second engine: Firefox, driven over WebDriver BiDi by
# Puppeteer (npm, pinned by tests/webpage/package-lock.json), in a private X
# server, since headless Firefox offers no WebGL here.
check_in_firefox() {
    echo "== The page in $(firefox-esr --version 2>/dev/null)"
    local check=$ROOT/build-wasm/firefox-check
    mkdir -p "$check"
    cp "$ROOT"/tests/webpage/{package.json,package-lock.json,check_firefox.mjs} "$check/"
    # npm trusts the system's certificate authorities too, as apt does.
    (cd "$check" && NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt npm ci --no-audit --no-fund \
        --loglevel=error >/dev/null)
    in_private_display node "$check/check_firefox.mjs" "$ROOT/build-wasm/web" "$ORBITVIEWER_WEBFRAMECHECK" \
        "$ROOT/build-wasm/web-check"
}

plant_faults() {
    MUTATE_PLATFORM=web bash "$ROOT/scripts/mutate.sh"
}

# Compressed as a web server sends it: gzip at level 6, the usual default,
# or brotli at 11, for files compressed ahead of time.
report_sizes() {
    local file raw gzipped brotli
    echo "== Download                   bytes     gzipped      brotli"
    for file in index.html qtloader.js orbitviewer.js orbitviewer.wasm; do
        raw=$(stat -c %s "$ROOT/build-wasm/web/$file")
        gzipped=$(gzip -6 --stdout "$ROOT/build-wasm/web/$file" | wc -c)
        brotli=$(brotli -q 11 --stdout "$ROOT/build-wasm/web/$file" | wc -c)
        printf '  %-18s %11d %11d %11d\n' "$file" "$raw" "$gzipped" "$brotli"
    done
    # The last file measured is the .wasm.
    if [ "$raw" -gt "$WASM_BUDGET" ] || [ "$gzipped" -gt "$WASM_GZIP_BUDGET" ]; then
        fail "orbitviewer.wasm is $raw bytes, $gzipped gzipped: over its budget of $WASM_BUDGET," \
            "$WASM_GZIP_BUDGET gzipped."
    fi
}

if [ "$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")" != debian-13 ]; then
    echo "== The web build is made with Debian 13's Emscripten and Qt; building and checking in a Debian 13 root"
    exec bash "$ROOT/scripts/test-in-debian-root.sh" trixie web
fi
ensure_packages "${WEB_PACKAGES[@]}"
leave_session
# The checks leave nothing in the tree.
export PYTHONDONTWRITEBYTECODE=1
prepare_emsdk
build_page
build_judge
check_in_browser
check_in_firefox
report_sizes
plant_faults
echo "== The page passed in $SECONDS s; serve build-wasm/web to use it" \
    "(python3 -m http.server -d build-wasm/web -b 127.0.0.1 8000)"
