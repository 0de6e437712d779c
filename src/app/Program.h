// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RecordEditor.h"
#include "app/StartWindow.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"

#include <QObject>
#include <QPointer>

namespace obs {

// The running program: the database the screens share, the result the record buttons follow,
// the start window and then the main window. main() builds one and starts it.
class Program : public QObject {
    Q_OBJECT
public:
    Program();
    ~Program() override;

    // Shows the start window; its "OK" opens the main window, its closing ends the program.
    void start();

    StartWindow& startWindow() { return m_start; }
    // The main window once the start window was accepted (nothing before, or after it closed).
    RecordEditor* recordEditor() const { return m_editor; }
    SharedDatabase& database() { return m_database; }
    BrowsedResult& browsed() { return m_browsed; }

private:
    void openRecordEditor();

    SharedDatabase m_database;
    BrowsedResult m_browsed;
    StartWindow m_start;
    QPointer<RecordEditor> m_editor;
};

} // namespace obs
