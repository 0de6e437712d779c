#!/bin/sh
# Opens the main window and the search window on a 1024x768 screen under a real window manager
# (Xvfb and openbox) and checks that each lies whole on the screen, title bar included.
# usage: scripts/window-frames.sh BUILD_DIR [DISPLAY_NUMBER]
set -eu
build=${1:?usage: $0 BUILD_DIR [DISPLAY_NUMBER]}
number=${2:-99}
Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$wm" "$xvfb" 2>/dev/null || true' EXIT INT TERM
sleep 1
DISPLAY=":$number" openbox >/dev/null 2>&1 &
wm=$!
sleep 1
OBSLEDGER_FRAMES_DISPLAY=":$number" LANG=C.UTF-8 LC_ALL=C.UTF-8 "$build/bin/test_main_search_frames"
