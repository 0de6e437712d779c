// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/TaxYear.h"
#include "widgets/Screen.h"

#include <memory>

class QPrinter;
class QTableWidget;

namespace Ui {
class TaxYearWindow;
}

namespace obs {

class SharedDatabase;

// A practitioner's tax year ("Année fiscale"): the receipts of the year, the fees paid over, the
// net, and the colleagues to declare, as the yearly return asks them; copied or printed.
class TaxYearWindow : public Screen {
    Q_OBJECT
public:
    explicit TaxYearWindow(SharedDatabase& database, QWidget* parent = nullptr);
    ~TaxYearWindow() override;

    // The figures shown; none (an empty practitioner) before a practitioner is chosen.
    const TaxYear& shown() const { return m_taxYear; }
    // The printed page, composed from the figures shown.
    static QString html(const TaxYear& taxYear);
    // Prints the figures shown; false (the reason shown) when the printer failed.
    bool printOn(QPrinter* printer, int* pages = nullptr);

private:
    void refresh();
    void display();
    void copy();
    void print();
    static void fill(QTableWidget* table, const std::vector<TaxYear::Colleague>& colleagues);

    std::unique_ptr<Ui::TaxYearWindow> m_ui;
    SharedDatabase& m_database;
    TaxYear m_taxYear;
    QString m_thresholdProblem;
};

} // namespace obs
