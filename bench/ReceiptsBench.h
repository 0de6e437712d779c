// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the receipts book's two benchmarks (the file, the server) measure alike: the window's click,
// the store's call, the FEC written, and the book's statements sent straight to the engine.

#include "store/Records.h"

#include <QString>
#include <functional>
#include <utility>

namespace obs {
class ReceiptsWindow;
class TaxYearWindow;
class SharedDatabase;
} // namespace obs

namespace obs::bench::receipts {

struct Choice {
    int year;
    QString practitioner;
};

// Whole years inside the 20 years of acts, a practitioner in turn.
Choice choice(size_t i);
Period yearPeriod(int year);

struct Measured {
    SharedDatabase* database = nullptr;
    ReceiptsWindow* window = nullptr;
    QString fecFolder;
    // The book's statements sent straight to the engine for one choice.
    std::function<void(const Choice&)> direct;
    double memoryAfterBookMiB = 0; // filled by the window's benchmark
    // The tax year ("Année fiscale"), measured when given: its window, and its sums sent straight to
    // the engine for one choice (received, paid over, in units), which the program's must equal.
    TaxYearWindow* taxYearWindow = nullptr;
    std::function<std::pair<qint64, qint64>(const Choice&)> directTaxYear;
};

// Declares the two actions (book, FEC) and registers their benchmarks; `directName` names the
// straight-to-engine ones (BM_Sqlite, BM_Server). `measured` must outlive the run.
void registerAll(Measured* measured, const char* directName);

} // namespace obs::bench::receipts
