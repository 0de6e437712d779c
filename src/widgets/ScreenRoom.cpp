// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ScreenRoom.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace obs {

namespace {
// A title bar and borders as most window managers draw them.
constexpr QMargins kUsualFrame(4, 32, 4, 4);
} // namespace

QRect screenRoom(const QWidget* window) {
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QMargins expectedFrame(const QWidget* window) {
    if (window && window->isVisible() && window->windowHandle()) {
        if (const QMargins own = window->windowHandle()->frameMargins(); !own.isNull())
            return own;
    }
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || !other->windowHandle())
            continue;
        if (const QMargins m = other->windowHandle()->frameMargins(); !m.isNull())
            return m;
    }
    return kUsualFrame;
}

QSize sizeWithinScreen(const QWidget* window, QSize wanted) {
    return wanted.boundedTo(screenRoom(window).size().shrunkBy(expectedFrame(window)));
}

void placeWithinScreen(QWidget* window, QRect frame) {
    const QRect room = screenRoom(window);
    const int x = std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height()));
    window->move(x, y);
    // Also through the native window: a move to the place the hidden window already had would not
    // tell the window manager to use that place rather than place the window anew.
    if (QWindow* native = window->windowHandle()) {
        const QMargins frameSides = expectedFrame(window);
        native->setPosition(x + frameSides.left(), y + frameSides.top());
    }
}

} // namespace obs
