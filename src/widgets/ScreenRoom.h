// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace obs {

// What a window, its title bar and borders included, may take of the screen it opens on: the
// screen less its panels. A window manager adds the frame around the size the program asks for,
// so a window sized to the whole screen would lose its bottom edge below the screen.
QRect screenRoom(const QWidget* window);
// The frame the window manager draws around a window: measured on a window it already framed,
// else a usual title bar and thin borders.
QMargins expectedFrame(const QWidget* window);
// The wanted size, made small enough for the window and its frame to fit the screen.
QSize sizeWithinScreen(const QWidget* window, QSize wanted);
// Puts the window's frame (of the size given) at the place given, moved as little as needed for
// the whole frame to lie inside the screen.
void placeWithinScreen(QWidget* window, QRect frame);

} // namespace obs
