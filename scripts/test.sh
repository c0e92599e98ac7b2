#!/usr/bin/env bash
# Installs what is missing, then checks everything CI checks:
#   1. the test suite on a Release build (build/);
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#      by clang (build-sanitize/);
#   3. the camera's fuzzer for FUZZ_SECONDS seconds (default 60), starting
#      from the committed seed inputs;
#   4. clang-format and clang-tidy on the project's own code.
# Without a display the window tests run in a virtual X server, where Mesa
# renders in software.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
SANITIZE_DIR=$ROOT/build-sanitize
FUZZ_SECONDS=${FUZZ_SECONDS:-60}

ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev clang-format clang-tidy \
    libbenchmark-dev libxtst-dev
if [ -z "${DISPLAY:-}" ]; then
    ensure_packages xvfb xauth
fi

run_suite() {
    (cd "$1" && run_with_display ctest --output-on-failure)
}

echo "== Test suite, Release build"
configure -DBUILD_TESTING=ON
cmake --build "$BUILD_DIR" -j2
run_suite "$BUILD_DIR"

echo "== Test suite, AddressSanitizer and UndefinedBehaviorSanitizer build"
# The benchmarks are built here too, so that clang-tidy sees their code.
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$SANITIZE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=ON -DORBITVIEWER_SANITIZE=ON -DORBITVIEWER_BUILD_FUZZ=ON -DORBITVIEWER_BUILD_BENCH=ON \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$SANITIZE_DIR" -j2
run_suite "$SANITIZE_DIR"

echo "== Fuzzing the camera for $FUZZ_SECONDS s"
corpus=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$corpus" "$log"' EXIT
if ! "$SANITIZE_DIR/fuzz/fuzz_orbitcontrols" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
    "$corpus" "$ROOT/fuzz/corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "The fuzzer found a failing input (saved as crash-* in $PWD)." >&2
    exit 1
fi
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|peak_rss_mb)' "$log"

echo "== Format and static analysis"
cd "$ROOT"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
mapfile -t units < <(git ls-files '*.cpp')
run-clang-tidy -p "$SANITIZE_DIR" -quiet -j 2 "${units[@]/#/$ROOT/}" >"$log" 2>&1 || {
    cat "$log"
    exit 1
}
echo "clang-format and clang-tidy: no findings in ${#sources[@]} files"
