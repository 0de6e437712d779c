// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/YearStatementSheet.h"
#include "widgets/Screen.h"

#include <QImage>
#include <memory>

class QBarSet;
class QChart;
class QPrinter;
class QLabel;
class QRadioButton;

namespace Ui {
class YearStatementWindow;
}

namespace obs {

class SharedDatabase;

// The yearly statement of a practitioner ("Relevé annuel"): the acts they performed, month by
// month and for the year, in a chart and a table, and the sums paid over with each colleague;
// printed, previewed or exported.
class YearStatementWindow : public Screen {
    Q_OBJECT
public:
    // Opens on the current year and the first practitioner of the list.
    explicit YearStatementWindow(SharedDatabase& database, QWidget* parent = nullptr);
    ~YearStatementWindow() override;

    const YearStatementSheet& sheet() const { return *m_sheet; }
    // The months' chart as it is printed.
    QImage chartImage() const;
    // Prints the statement; false (the reason shown) when the printer failed. *pages: pages printed.
    bool printOn(QPrinter* printer, int* pages = nullptr);

private:
    void refresh();
    // receivedByDate and beforeJournal as the sheet takes them.
    void display(const YearStatement& statement, const YearStatement* receivedByDate = nullptr,
                 const QString& beforeJournal = QString());
    // Tells the user when no practitioner is chosen (an empty list): nothing to print or export.
    bool practitionerChosen(const QString& nothingTo);
    void print();
    void preview();
    void exportStatement();

    std::unique_ptr<Ui::YearStatementWindow> m_ui;
    SharedDatabase& m_database;
    std::unique_ptr<YearStatementSheet> m_sheet;
    QChart* m_chart = nullptr;
    QBarSet* m_billed = nullptr;
    QBarSet* m_received = nullptr;
    // The received columns by the acts' dates, or by the dates the payments were received.
    QRadioButton* m_byActDate = nullptr;
    QRadioButton* m_byReceiptDate = nullptr;
    // The acts of the year paid before the journal, when there are any.
    QLabel* m_beforeJournal = nullptr;
};

} // namespace obs
