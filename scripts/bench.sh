#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (Release, in build-bench/)
# and runs them: the camera's micro-benchmarks, then the viewer measured
# against a bare Qt OpenGL window. Without a display the window benchmark
# runs in a virtual X server. Extra arguments go to the window benchmark
# (the number of runs).
set -euo pipefail
source "$(dirname "$0")/setup.sh"
BUILD_DIR=$ROOT/build-bench

ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev libxtst-dev
if [ -z "${DISPLAY:-}" ]; then
    ensure_packages xvfb xauth
fi
configure -DORBITVIEWER_BUILD_BENCH=ON -DBUILD_TESTING=OFF
cmake --build "$BUILD_DIR" -j2 --target bench_orbitcontrols windowbench

echo "== The camera's operations"
"$BUILD_DIR/bench/bench_orbitcontrols" --benchmark_color=false --benchmark_min_time=0.5
echo
echo "== The viewer (A) against a bare Qt OpenGL window (B) and the same on a QApplication (C)"
run_with_display "$BUILD_DIR/bench/windowbench" "$@"
