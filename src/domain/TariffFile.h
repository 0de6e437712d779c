#pragma once

#include "common/Money.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace obs {

// One value of the tariff file: the editor's box, the label and CCAM code shown beside it, and
// the text the box shows when the file cannot be read.
struct TariffField {
    const char* box;
    const char* label;
    const char* ccam; // empty for the consultation letters and indemnities
    const char* initial;
};

// The practice's usual tariffs, "tarifs.cmt" in the application folder: one line of 44 quoted
// fields. Field 5 is the night indemnity and field 6 the holiday indemnity.
class TariffFile {
public:
    static constexpr int FieldCount = 44;
    static constexpr int NightIndex = 4;   // field 5
    static constexpr int HolidayIndex = 5; // field 6

    static const std::array<TariffField, FieldCount>& fields();
    static QStringList initialTexts();
    static QString path();

    struct Read {
        bool found = false;      // the file exists and could be opened
        int groups = 0;          // complete groups of 44 read
        bool incomplete = false; // fields left over after the last complete group
        QStringList values;      // the last complete group, else the initial texts
    };
    // Reads every group of 44; the last complete one wins.
    static Read read(const QString& filePath = path());

    // Writes the one line through a save file: the old file stays whole if anything fails.
    static bool write(const QStringList& values, QString* error, const QString& filePath = path());

    // The two consultation sums of a group: CS + MCS and CS + MCS + MPC, MCS brought to the
    // nearest whole number (a half to the even one). A sum is missing when a value it needs is
    // not a number.
    struct Sums {
        std::optional<Money> csMcs;
        std::optional<Money> csMcsMpc;
    };
    static Sums sums(const QStringList& values);
};

} // namespace obs
