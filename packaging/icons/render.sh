#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the icon's PNG sizes into hicolor/ (committed, so that a build needs no SVG renderer).
# Needs rsvg-convert (Debian package librsvg2-bin). The 16-pixel icon has its own drawing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
render() { # SVG PIXELS FOLDER
    mkdir -p "hicolor/$3/apps"
    rsvg-convert -w "$2" -h "$2" "$1" -o "hicolor/$3/apps/obsledger.png"
}
render obsledger-16.svg 16 16x16
for size in 22 24 32 48 64 128 256 512; do
    render obsledger.svg "$size" "${size}x${size}"
done
for size in 16 22 24 32 48 64 128 256; do
    render obsledger.svg $((size * 2)) "${size}x${size}@2"
done
