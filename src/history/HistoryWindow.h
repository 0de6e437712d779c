// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/Screen.h"

#include <memory>
#include <optional>

namespace Ui {
class HistoryWindow;
}

namespace obs {

class SharedDatabase;

// The history of one act: every entry of the journal about it, newest first, with when and where
// it was written, by whom, and what it changed or received. Read-only; opened beside the main
// window, which keeps its act and its typing.
class HistoryWindow : public Screen {
    Q_OBJECT
public:
    explicit HistoryWindow(SharedDatabase& database, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the act's entries anew and shows them.
    void showAct(qint64 number);
    // The act shown; nothing before the first.
    std::optional<qint64> act() const { return m_act; }

private:
    std::unique_ptr<Ui::HistoryWindow> m_ui;
    SharedDatabase& m_database;
    std::optional<qint64> m_act;
};

} // namespace obs
