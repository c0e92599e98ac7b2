#!/usr/bin/env bash
# The viewer as a web page, checked in a real browser:
#
#   - qtbase for WebAssembly from Debian's own source, with Debian's
#     Emscripten, built once into the cache of scripts/qt-from-source.sh;
#   - the page, built with the wasm preset into build-wasm/web, a folder any
#     static web server can serve (index.html, orbitviewer.js, .wasm, Qt's
#     loader, the licences);
#   - the camera's tests, built for the web, under Node;
#   - the page served on 127.0.0.1 and opened in Debian's headless Chromium,
#     its window, first frame and input judged against the camera model
#     (tests/webpage/check_page.py), on WebGL 2, on WebGL 1, and with WebGL
#     switched off;
#   - the download's size, raw and as a server would send it compressed;
#   - the faults tests/mutants.txt plants in the page, each of which the
#     browser check must catch.
#
#   scripts/web.sh
#
# Debian 13's Emscripten and Qt build this; Debian 12's Emscripten is too
# old for any Qt 6, so elsewhere all of it runs in a fresh Debian 13 root
# (scripts/test-in-debian-root.sh), which shares the cache, and the served
# folder and the check's pictures are copied back. Needs root. About 16
# minutes on 2 cores the first time, 9 once Qt is cached.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"
source "$ROOT/scripts/suite.sh"

WEB_PACKAGES=(cmake ninja-build g++ qt6-base-dev emscripten nodejs chromium python3 dpkg-dev fonts-dejavu-core
    gzip)
# What the .wasm may weigh before compression.
WASM_BUDGET=$((10 * 1000 * 1000))
STARTED=$SECONDS

# Debian 13 is the release whose Emscripten and Qt this was built and
# checked with.
release_builds_web() {
    [ "$(. /etc/os-release && echo "${ID:-}-${VERSION_ID:-}")" = debian-13 ]
}

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
    run_suite wasm
}

# The frames are judged natively, by the same model the desktop suite uses.
build_judge() {
    echo "== The frame judge (build/tests/webframecheck)"
    build_preset release --target webframecheck >/dev/null
    export ORBITVIEWER_WEBFRAMECHECK=$ROOT/build/tests/webframecheck
}

check_in_browser() {
    echo "== The page in headless Chromium $(chromium --version 2>/dev/null | awk '{ print $2 }')"
    rm -rf "$ROOT/build-wasm/web-check"
    python3 "$ROOT/tests/webpage/check_page.py" "$ROOT/build-wasm/web" "$ORBITVIEWER_WEBFRAMECHECK" \
        "$ROOT/build-wasm/web-check"
}

# The checks must catch the faults tests/mutants.txt plants for the web.
plant_faults() {
    MUTATE_PLATFORM=web bash "$ROOT/scripts/mutate.sh"
}

# What a browser downloads: each file as it is, and gzipped as a web server
# sends it (level 6, the usual default).
report_sizes() {
    local file raw packed total=0 total_packed=0
    echo "== Download"
    for file in index.html qtloader.js orbitviewer.js orbitviewer.wasm; do
        raw=$(stat -c %s "$ROOT/build-wasm/web/$file")
        packed=$(gzip -6 --stdout "$ROOT/build-wasm/web/$file" | wc -c)
        total=$((total + raw))
        total_packed=$((total_packed + packed))
        printf '  %-18s %10d bytes, %10d gzipped\n' "$file" "$raw" "$packed"
    done
    printf '  %-18s %10d bytes, %10d gzipped\n' total "$total" "$total_packed"
    raw=$(stat -c %s "$ROOT/build-wasm/web/orbitviewer.wasm")
    if [ "$raw" -gt "$WASM_BUDGET" ]; then
        echo "orbitviewer.wasm is $raw bytes, over its budget of $WASM_BUDGET." >&2
        exit 1
    fi
}

if ! release_builds_web; then
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
report_sizes
plant_faults
echo "== The page passed in $((SECONDS - STARTED)) s; serve build-wasm/web to use it" \
    "(python3 -m http.server -d build-wasm/web -b 127.0.0.1 8000)"
