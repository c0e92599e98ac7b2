#!/bin/sh
# Runs a test in a private desktop session of its own, started for it and
# ended after it:
#
#   run-in-session.sh openbox <test> [args]   an X server (Xvfb) with the
#                                             openbox window manager
#   run-in-session.sh weston <test> [args]    a headless Wayland compositor
#                                             (Weston), Qt on its Wayland plugin
#   run-in-session.sh mutter <test> [args]    GNOME's compositor, headless
#   run-in-session.sh kwin <test> [args]      KDE's compositor, on its virtual
#                                             output
#
# GNOME's and KDE's compositors run on a session bus of their own, as on a
# desktop. Each session says what it is (XDG_SESSION_TYPE), as a desktop
# session does. The test's exit status is the script's.
set -u
kind=$1
shift
# What is preloaded into the test (the sanitizer build's GL driver) is not
# preloaded into the servers.
test_preload=${RUN_IN_SESSION_PRELOAD-${LD_PRELOAD-}}
unset LD_PRELOAD RUN_IN_SESSION_PRELOAD
case $kind in
mutter | kwin)
    if [ -z "${RUN_IN_SESSION_BUS-}" ]; then
        RUN_IN_SESSION_BUS=1 RUN_IN_SESSION_PRELOAD=$test_preload exec dbus-run-session -- sh "$0" "$kind" "$@"
    fi
    unset RUN_IN_SESSION_BUS
    ;;
esac
session_dir=$(mktemp -d) || exit 1
chmod 700 "$session_dir"
server_pid=
manager_pid=
test_pid=

end_session() {
    [ -n "$test_pid" ] && kill "$test_pid" 2>/dev/null
    [ -n "$manager_pid" ] && kill "$manager_pid" 2>/dev/null
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$session_dir"
}
trap end_session EXIT
trap 'exit 1' INT TERM

# Waits up to 20 s for a condition, given as test(1) arguments, to hold.
wait_until() {
    what=$1
    shift
    tries=0
    until test "$@"; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ]; then
            echo "run-in-session.sh: $what did not start" >&2
            cat "$session_dir"/*.log >&2
            exit 1
        fi
        sleep 0.1
    done
}

start_openbox() {
    # Xvfb picks a free display and writes its number to the file.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset 3>"$session_dir/display" 2>"$session_dir/xvfb.log" &
    server_pid=$!
    wait_until Xvfb -s "$session_dir/display"
    DISPLAY=:$(cat "$session_dir/display")
    XDG_SESSION_TYPE=x11
    export DISPLAY XDG_SESSION_TYPE
    unset WAYLAND_DISPLAY
    openbox --startup "touch $session_dir/openbox-ready" >"$session_dir/openbox.log" 2>&1 &
    manager_pid=$!
    wait_until openbox -e "$session_dir/openbox-ready"
}

# Qt on the Wayland plugin, on the compositor's socket in the session's
# runtime directory. Mesa's llvmpipe, as under X11: without a GPU, Mesa 26's
# EGL otherwise tries zink first, loading and unloading Vulkan's loader and
# every Vulkan driver installed.
use_wayland() {
    wait_until "$1" -S "$session_dir/wayland-test"
    WAYLAND_DISPLAY=wayland-test
    QT_QPA_PLATFORM=wayland
    XDG_SESSION_TYPE=wayland
    LIBGL_ALWAYS_SOFTWARE=1
    export WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE LIBGL_ALWAYS_SOFTWARE
    unset DISPLAY
}

start_weston() {
    XDG_RUNTIME_DIR=$session_dir
    export XDG_RUNTIME_DIR
    # Weston's default renderer: its GL renderer stops sending frame
    # callbacks after the first frame on the headless backend.
    weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 --no-config \
        >"$session_dir/weston.log" 2>&1 &
    server_pid=$!
    use_wayland weston
}

start_mutter() {
    XDG_RUNTIME_DIR=$session_dir
    export XDG_RUNTIME_DIR
    mutter --headless --wayland --no-x11 --wayland-display=wayland-test --virtual-monitor 1280x1024 \
        >"$session_dir/mutter.log" 2>&1 &
    server_pid=$!
    use_wayland mutter
}

start_kwin() {
    XDG_RUNTIME_DIR=$session_dir
    export XDG_RUNTIME_DIR
    # Debian 12 gives kwin_wayland a file capability (cap_sys_resource) that
    # a container's bounding set may lack, and then it cannot start at all;
    # a copy has none. The copy keeps its name, which KWin checks.
    cp "$(command -v kwin_wayland)" "$session_dir/kwin_wayland" || exit 1
    "$session_dir/kwin_wayland" --virtual --no-lockscreen --socket wayland-test --width 1280 --height 1024 \
        >"$session_dir/kwin.log" 2>&1 &
    server_pid=$!
    use_wayland kwin
}

case $kind in
openbox) start_openbox ;;
weston) start_weston ;;
mutter) start_mutter ;;
kwin) start_kwin ;;
*)
    echo "usage: run-in-session.sh openbox|weston|mutter|kwin <test> [args]" >&2
    exit 2
    ;;
esac
[ -n "$test_preload" ] && export LD_PRELOAD="$test_preload"
# In the background, so that a TERM ends the session now, test and all,
# rather than when the test is done.
"$@" &
test_pid=$!
wait "$test_pid"
status=$?
test_pid=
exit "$status"
