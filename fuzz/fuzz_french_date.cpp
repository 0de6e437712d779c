// Typed dates JJ/MM/AAAA against a plain reference, the shown form read back, and the day numbers
// the store keeps; stored values of any kind shown as dates.
#include "FuzzSupport.h"
#include "common/DayNumber.h"

#include <algorithm>

using namespace obs;
using namespace obs::fuzz;

namespace {

bool asciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool asciiBlank(QChar c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Blanks around, one or two digits for the day and the month, four for the year from 100 on.
std::optional<QDate> referenceDate(const QString& text) {
    int from = 0, to = int(text.size());
    while (from < to && asciiBlank(text[from]))
        ++from;
    while (to > from && asciiBlank(text[to - 1]))
        --to;
    const QStringList parts = text.mid(from, to - from).split(u'/');
    if (parts.size() != 3)
        return std::nullopt;
    for (int k = 0; k < 3; ++k) {
        const QString& p = parts[k];
        const bool lengthOk = k < 2 ? (p.size() == 1 || p.size() == 2) : p.size() == 4;
        if (!lengthOk || !std::all_of(p.begin(), p.end(), asciiDigit))
            return std::nullopt;
    }
    const int day = parts[0].toInt(), month = parts[1].toInt(), year = parts[2].toInt();
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return QDate(year, month, day);
}

QString shown(const std::optional<QDate>& d) {
    return d ? d->toString(Qt::ISODate) : QStringLiteral("nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(bytesOf(data, size));
    const auto d = parseFrenchDate(text);
    const auto want = referenceDate(text);
    FUZZ_CHECK(d == want, QStringLiteral("%1 read as %2 instead of %3").arg(escaped(text), shown(d), shown(want)));
    const qint64 day = dayNumberOfTypedOrZero(text);
    if (d) {
        FUZZ_CHECK(parseFrenchDate(frenchDate(*d)) == d,
                   QStringLiteral("%1 shown as %2").arg(shown(d), frenchDate(*d)));
        FUZZ_CHECK(day == dayNumberOf(*d) && dateOfDayNumber(day) == *d,
                   QStringLiteral("%1 kept as day %2").arg(shown(d)).arg(day));
        FUZZ_CHECK(storedDateText(QVariant(day)) == (day == 0 ? QStringLiteral("00:00:00") : frenchDate(*d)),
                   QStringLiteral("day %1 shown as %2").arg(day).arg(storedDateText(QVariant(day))));
    } else {
        FUZZ_CHECK(day == 0, QStringLiteral("%1 is no date yet gave day %2").arg(escaped(text)).arg(day));
    }

    // A stored date column may hold any value a hand-edited base gives it: shown, never undefined.
    storedDateText(QVariant(text));
    bool number = false;
    const double stored = text.toDouble(&number);
    if (number)
        storedDateText(QVariant(stored));
    const qint64 whole = text.toLongLong(&number);
    if (number)
        storedDateText(QVariant(whole));
    return 0;
}
