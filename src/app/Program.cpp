// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "app/RecordEditor.h"

#include <QCoreApplication>

namespace obs {

Program::Program() {
    connect(&m_start, &StartWindow::dismissed, this, [] { QCoreApplication::exit(0); });
    connect(&m_start, &StartWindow::accepted, this, &Program::openRecordEditor);
}

Program::~Program() {
    delete m_editor.data();
}

void Program::start() {
    m_start.show();
}

void Program::openRecordEditor() {
    auto* editor = new RecordEditor(m_database, m_browsed);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    m_editor = editor;
    if (!editor->load())
        return; // the not-found message was shown; the program ends
    editor->show();
}

} // namespace obs
