// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "accounts/ListPrint.h"
#include "accounts/SearchPanel.h"
#include "widgets/Screen.h"

#include <QPointer>
#include <memory>

class QLabel;
class QWidget;

namespace Ui {
class SearchWindow;
}

namespace obs {

class ReversalPanel;
class SearchPanel;
class ReceiptsWindow;
class TaxYearWindow;
class SharedDatabase;
struct StoreChanges;
class YearStatementWindow;

// The search and accounts screen: its search panel above, its reversal panel below, and the menu
// that prints the found list.
class SearchWindow : public Screen {
    Q_OBJECT
public:
    // Builds the screen and loads it: rates file, today's date, database, practitioner and act lists.
    explicit SearchWindow(SharedDatabase& database, QWidget* parent = nullptr);
    ~SearchWindow() override;

    // The printed lines of the found list under its heading, as the print buttons send them.
    std::vector<ListPrint::Line> composedPrint() const;
    SearchPanel* searchPanel() const { return m_search; }
    // The search half as shown, and shown again at a later opening.
    SearchState state() const;
    void resume(const SearchState& state);
    // The yearly statement ("Relevé annuel..." in the menu), opened above this screen.
    void openYearStatement();
    // The receipts book ("Livre des recettes..." in the menu), opened above this screen.
    void openReceiptsBook();
    // The practitioner's tax year ("Année fiscale..."), opened above this screen.
    void openTaxYear();

signals:
    // A found act was double-clicked: the screen has closed, the main window shows the act.
    void actChosen(qint64 number);

private:
    void buildUi();
    void load();
    // Another workstation changed the acts: a found list shown may be out of date.
    void changedElsewhere(const StoreChanges& changes);

    std::unique_ptr<Ui::SearchWindow> m_ui;
    SharedDatabase& m_database;
    SearchPanel* m_search = nullptr;
    ReversalPanel* m_reversal = nullptr;
    QLabel* m_explanation = nullptr;
    QWidget* m_listChanged = nullptr; // the notice and its button
    bool m_listed = false;            // the found list holds a listing's result
    QPointer<YearStatementWindow> m_yearStatement;
    QPointer<ReceiptsWindow> m_receiptsBook;
    QPointer<TaxYearWindow> m_taxYear;
};

} // namespace obs
