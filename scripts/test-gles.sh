#!/usr/bin/env bash
# The viewer and its suite on a Qt built for OpenGL ES 2.0 alone, as boards
# build it, and the viewer full screen under eglfs on a screen that is not
# square. Needs root to install what is missing.
source "$(dirname "$0")/setup.sh"
source "$ROOT/scripts/qt-from-source.sh"
source "$ROOT/scripts/suite.sh"

install_dependencies() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_LIBRARIES[@]}" "${TEST_PROGRAMS[@]}" "${QT_GLES_PACKAGES[@]}" \
        dpkg-dev
}

# An ES-only Qt calls libGLESv2 directly; desktop libGL must not come in.
check_libraries() {
    local libraries
    libraries=$(ldd "$ROOT/build-gles/orbitviewer")
    grep -q 'libGLESv2\.so' <<<"$libraries" && ! grep -qE 'lib(GL|OpenGL)\.so' <<<"$libraries" ||
        fail "$libraries"$'\n'"The viewer must link libGLESv2 and not desktop libGL."
    echo "build-gles/orbitviewer links $(grep -oE 'lib(GLESv2|EGL)\.so[^ ]*' <<<"$libraries" | sort -u | xargs)," \
        "and no desktop libGL"
}

check_eglfs() {
    echo "== Full screen under eglfs (X11 device integration), 800 x 600"
    (cd "$ROOT/build-gles/tests" &&
        run_unskipped xvfb-run -a -s "-screen 0 800x600x24 -noreset" ./tst_orbitviewer fullScreenUnderEglfs)
}

install_dependencies
leave_session
ORBITVIEWER_GLES_QT=$(qt_prefix gles)
export ORBITVIEWER_GLES_QT
echo "== Release build against Qt for OpenGL ES 2.0 (build-gles/), and its suite"
run_suite gles
check_libraries
check_eglfs
