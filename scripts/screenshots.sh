#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures of the program's screens, to be looked at: every window as it opens on a 1024x768 screen
# under a window manager, frame included (the window_frames test's pictures), and the screens
# filled as a clinic fills them (entry, search, main window, backup, about, tariffs, reference
# lists, year's statement).
#   scripts/screenshots.sh [BUILD-FOLDER [PICTURES-FOLDER]]
# Needs the Debian packages xvfb, openbox and x11-utils for the framed pictures.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build}")
pictures=$(realpath -m "${2:-$build/screenshots}")
cmake --build "$build" --target screenshots test_window_frames
mkdir -p "$pictures/cadres"
status=0
(cd "$pictures" && OBSLEDGER_SCREENS="$pictures" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 TZ=Europe/Paris \
    "$build/bin/screenshots") || status=$?
(cd "$pictures" && OBSLEDGER_SCREENS="$pictures/cadres" LANG=C.UTF-8 TZ=Europe/Paris \
    "$build/bin/test_window_frames") || status=$?
echo "Images : $pictures"
exit "$status"
