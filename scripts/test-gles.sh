#!/usr/bin/env bash
# The viewer and its suite on a Qt built for OpenGL ES 2.0 alone, as boards
# build it: the gles workflow, which also checks the libraries the viewer
# links and runs it full screen under eglfs. Needs root to install what is
# missing.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" "${TEST_PROGRAMS[@]}" "${QT_GLES_PACKAGES[@]}" dpkg-dev
leave_session
ORBITVIEWER_GLES_QT=$(qt_prefix gles)
export ORBITVIEWER_GLES_QT
run_workflow gles --fresh
