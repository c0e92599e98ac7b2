#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (Release) and runs them:
# the camera's micro-benchmarks, then the viewer against bare Qt OpenGL
# windows and the same picture drawn the plainest way, in a private X
# server, so that the figures do not depend on the desktop. Extra arguments
# (the number of runs) go to the window benchmark.
source "$(dirname "$0")/setup.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" libbenchmark-dev "${DISPLAY_PACKAGES[@]}"
build_preset bench
leave_session

echo "== The camera's operations"
"$BUILD_DIR/bench/bench_orbitcontrols" --benchmark_color=false --benchmark_min_time=0.5
echo
echo "== The viewer (A) against bare Qt OpenGL windows: B, B on a QApplication (C), C repainting on every move (D)," \
    "D drawing the same picture the plainest way (E)"
in_private_display "$BUILD_DIR/bench/windowbench" "$@"
