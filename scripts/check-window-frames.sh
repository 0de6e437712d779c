#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Opens every window of the program on a demo base, on a 1024x768 X server of its own (Xvfb) under
# openbox, and fails when a window's frame, title bar included, leaves the screen. A picture of the
# screen with each window is saved to look at.
#   scripts/check-window-frames.sh [BUILD-FOLDER [PICTURES-FOLDER]]
# Needs the Debian packages xvfb, openbox and x11-utils; the test is also one of `ctest`'s
# (window_frames), run by `scripts/obsledger.sh test`.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
pictures=${2:-$build/window-frames}
cmake --build "$build" --target test_window_frames
mkdir -p "$pictures"
status=0
OBSLEDGER_SCREENS="$pictures" LANG=C.UTF-8 TZ=Europe/Paris "$build/bin/test_window_frames" || status=$?
echo "Images : $pictures"
exit "$status"
