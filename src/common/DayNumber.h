#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

namespace obs {

// Dates are stored as whole days counted from 30/12/1899 (1 January 2005 is 38353).
qint64 dayNumberOf(const QDate& date);
QDate dateOfDayNumber(qint64 day);

// A typed date JJ/MM/AAAA (day and month may have one digit) when it is a real date.
std::optional<QDate> parseFrenchDate(const QString& text);
// The day number of a typed date, 0 when the text is not a valid date.
qint64 dayNumberOfTypedOrZero(const QString& text);
// Short date form JJ/MM/AAAA.
QString frenchDate(const QDate& date);
// A stored date shown as text: empty when not numeric; the day 0 shows as the midnight time 00:00:00.
QString storedDateText(const QVariant& stored);
QString storedDateText(const std::optional<qint64>& day);
// The day a stored value stands for: a whole number, a number with a time of day (kept to its day) or
// a number in text; nothing when empty, not a number, or outside the years 100 to 9999.
std::optional<qint64> storedDayOf(const QVariant& stored);
std::optional<qint64> storedDayOf(double stored);

} // namespace obs
