#pragma once

#include <QDate>
#include <QString>

namespace obs {

// Easter Sunday of a Gregorian year (anonymous Gregorian algorithm); invalid before 1583.
QDate easterSunday(int year);
// The name of the French public holiday falling on that day, empty when it is not one.
QString publicHolidayName(const QDate& date);
// True on a public holiday or a Sunday: the days the holiday supplement may apply.
bool isHolidayOrSunday(const QDate& date);
// The hint shown beside the holiday supplement: "<holiday> : supplément Férié ?", "Dimanche : ..."
// on a Sunday that is no holiday, empty on any other day or an invalid date.
QString holidaySupplementHint(const QDate& date);

} // namespace obs
