#include "widgets/Screen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>
#include <QTimer>

// The pictures live in the GUI library, a static library: its resources are registered here, in a
// file every program that shows a window links.
static void registerPictures() {
    Q_INIT_RESOURCE(obsledger);
}

namespace obs {

namespace {
bool g_endRequested = false;
const bool g_pictures = (registerPictures(), true);
} // namespace

Screen::Screen(const QString& objectName, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* escape = new QShortcut(QKeySequence::Cancel, this);
    connect(escape, &QShortcut::activated, this, [this] { escapePressed(); });
}

void Screen::escapePressed() {
    close();
}

void Screen::takeAlong(QWidget* companion) {
    if (!m_companions.contains(companion))
        m_companions << companion;
}

void Screen::closeEvent(QCloseEvent* event) {
    for (const QPointer<QWidget>& companion : std::as_const(m_companions)) {
        if (companion && companion->isVisible() && !companion->close()) {
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void endProgram() {
    g_endRequested = true;
    QTimer::singleShot(0, qApp, [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(1);
    });
}

bool endRequested() {
    return g_endRequested;
}
void clearEndRequest() {
    g_endRequested = false;
}

} // namespace obs
