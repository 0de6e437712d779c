#include "DayNumber.h"

#include <QRegularExpression>

#include <cmath>

namespace obs {

namespace {
const qint64 kEpochJulian = QDate(1899, 12, 30).toJulianDay();
// Beyond any day a QDate can hold (about 2 billion years either way).
constexpr double kNoDayBeyond = 1e12;
}

qint64 dayNumberOf(const QDate& date) { return date.toJulianDay() - kEpochJulian; }

QDate dateOfDayNumber(qint64 day) { return QDate::fromJulianDay(day + kEpochJulian); }

std::optional<QDate> parseFrenchDate(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!d.isValid() || d.year() < 100)
        return std::nullopt;
    return d;
}

qint64 dayNumberOfTypedOrZero(const QString& text)
{
    const auto d = parseFrenchDate(text);
    return d ? dayNumberOf(*d) : 0;
}

QString frenchDate(const QDate& date) { return date.toString(QStringLiteral("dd/MM/yyyy")); }

QString storedDateText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    bool ok = false;
    const double v = stored.toDouble(&ok);
    // A hand-edited base may hold "nan", "inf" or 1e300 here: no date, and no undefined conversion.
    if (!ok || !(std::abs(v) < kNoDayBeyond))
        return QString();
    const qint64 day = static_cast<qint64>(v);
    if (day == 0)
        return QStringLiteral("00:00:00");
    return frenchDate(dateOfDayNumber(day));
}

} // namespace obs
