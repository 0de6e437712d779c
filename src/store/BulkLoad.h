// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Records.h"
#include "store/Status.h"

#include <array>
#include <optional>
#include <vector>

namespace obs {

// A row of MEMO as another program kept it: the list number and the catalogue place as they
// stand, whether or not the program knows them.
struct StoredEntry {
    std::optional<qint64> list; // NUMEROS
    QString label;              // TEXTE
    QString code;               // CCAM
    std::optional<Money> tariff;
    std::array<std::optional<Money>, 6> excesses; // MUT1 to MUT6
    std::optional<qint64> index;                  // INDEX
};

// Creates a new file of the program at `path` and writes the acts (numbers kept) and the entries
// (in the order given) into it in one transaction; a failure removes the file.
Status writeNewClinicFile(const QString& path, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries);

// What a base holds, summed column by column, to compare it with what was put in.
struct StoredFigures {
    qint64 acts = 0;
    qint64 entries = 0;
    // PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE in units; then Date and DateRev in days.
    std::array<qint64, 8> actSums{};
    // TARIFS, MUT1 to MUT6.
    std::array<qint64, 7> entrySums{};
    std::vector<qint64> numbers; // ascending

    friend bool operator==(const StoredFigures&, const StoredFigures&) = default;
};
// The names of the summed columns, in the order of actSums and entrySums.
extern const std::array<const char*, 8> kSummedActColumns;
extern const std::array<const char*, 7> kSummedEntryColumns;

// Reads those figures from a file or a server as one snapshot.
Status readStoredFigures(const QString& location, StoredFigures* figures);

} // namespace obs
