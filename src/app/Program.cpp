// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "app/MainWindow.h"

#include <QCoreApplication>

namespace obs {

Program::Program() {
    connect(&m_start, &StartWindow::dismissed, this, [] { QCoreApplication::exit(0); });
    connect(&m_start, &StartWindow::accepted, this, &Program::openMainWindow);
}

Program::~Program() {
    delete m_main.data();
}

void Program::start() {
    m_start.show();
}

void Program::openMainWindow() {
    auto* main = new MainWindow(m_database, m_browsed);
    main->setAttribute(Qt::WA_DeleteOnClose);
    m_main = main;
    if (!main->load())
        return; // the not-found message was shown; the program ends
    main->show();
}

} // namespace obs
