#!/bin/sh
# Starts a Windows program under Wine as Explorer would, with no console,
# answers the first message box titled <title> that it shows with Return,
# and prints the box's window and the program's exit status, for CTest to
# judge:
#
#   wine-message-box.sh <title> <seconds> <program.exe> [args]
#
# WINEPREFIX and DISPLAY come from the caller.
set -u
title=$1
seconds=$2
shift 2
wine start /wait /unix "$@" &
program=$!
box=$(timeout "$seconds" xdotool search --sync --name "^$title\$" | head -n 1)
echo "message box: ${box:-none}"
if [ -n "$box" ]; then
    xdotool key --window "$box" Return
else
    wineserver -k
fi
wait "$program"
echo "exit status: $?"
