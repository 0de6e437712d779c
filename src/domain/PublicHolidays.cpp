#include "domain/PublicHolidays.h"

namespace obs {

QDate easterSunday(int year) {
    if (year < 1583)
        return {};
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return QDate(year, month, day);
}

QString publicHolidayName(const QDate& date) {
    if (!date.isValid())
        return {};
    struct Fixed {
        int month;
        int day;
        const char* name;
    };
    static constexpr Fixed kFixed[] = {
        {1, 1, "Jour de l'an"}, {5, 1, "Fête du travail"}, {5, 8, "Victoire 1945"},    {7, 14, "Fête nationale"},
        {8, 15, "Assomption"},  {11, 1, "Toussaint"},      {11, 11, "Armistice 1918"}, {12, 25, "Noël"},
    };
    for (const Fixed& f : kFixed)
        if (date.month() == f.month && date.day() == f.day)
            return QString::fromUtf8(f.name);
    const QDate easter = easterSunday(date.year());
    if (!easter.isValid())
        return {};
    const qint64 after = easter.daysTo(date);
    if (after == 1)
        return QStringLiteral("Lundi de Pâques");
    if (after == 39)
        return QStringLiteral("Ascension");
    if (after == 50)
        return QStringLiteral("Lundi de Pentecôte");
    return {};
}

bool isHolidayOrSunday(const QDate& date) {
    return date.isValid() && (date.dayOfWeek() == Qt::Sunday || !publicHolidayName(date).isEmpty());
}

QString holidaySupplementHint(const QDate& date) {
    if (!date.isValid())
        return {};
    QString name = publicHolidayName(date);
    if (name.isEmpty() && date.dayOfWeek() == Qt::Sunday)
        name = QStringLiteral("Dimanche");
    return name.isEmpty() ? QString() : name + QStringLiteral(" : supplément Férié ?");
}

} // namespace obs
