// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/ReceiptsSheet.h"
#include "widgets/Screen.h"

#include <QHash>
#include <QString>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTableView;
class QTableWidget;
class QTabWidget;

namespace obs {

class ReceiptsModel;
class SharedDatabase;

// The receipts book of a practitioner ("Livre des recettes"): what was received in a period, by
// date of receipt, with its totals by day, month and mode; the sums paid over to colleagues and
// the opening entries apart; printed, exported, and the accountant's file (FEC) of a year.
class ReceiptsWindow : public Screen {
    Q_OBJECT
public:
    explicit ReceiptsWindow(SharedDatabase& database, QWidget* parent = nullptr);
    ~ReceiptsWindow() override;

    const ReceiptsSheet& sheet() const { return *m_sheet; }
    // Prints the book as shown; false (the reason shown) when the printer failed.
    bool printOn(QPrinter* printer, int* pages = nullptr);

private:
    void buildUi();
    void showBook();
    void display();
    bool practitionerChosen(const QString& nothingTo);
    void print();
    void exportBook();
    void writeFec();
    // The SIREN box follows the practitioner chosen: what was typed for them in this window, else
    // the one kept with them in the base.
    void showSirenOf(const QString& practitioner);

    SharedDatabase& m_database;
    std::unique_ptr<ReceiptsSheet> m_sheet;
    QString m_shownPractitioner, m_shownFrom, m_shownTo;

    QComboBox* m_practitioner = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QCheckBox* m_withoutNames = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTableView* m_receipts = nullptr;
    QTableView* m_outgoings = nullptr;
    QTableView* m_openings = nullptr;
    QTableWidget* m_totals = nullptr;
    ReceiptsModel* m_receiptsModel = nullptr;
    ReceiptsModel* m_outgoingsModel = nullptr;
    ReceiptsModel* m_openingsModel = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_outgoingTotal = nullptr;
    QLabel* m_openingTotal = nullptr;
    // The acts of the period paid before the journal, when there are any.
    QLabel* m_beforeJournal = nullptr;
    QLineEdit* m_siren = nullptr;
    QString m_sirenOf;               // the practitioner the SIREN box shows
    QHash<QString, QString> m_typed; // SIRENs typed and not yet kept, by practitioner
};

} // namespace obs
