#include "common/DayNumber.h"

#include <QRegularExpression>

namespace obs {

namespace {
const qint64 kEpochJulian = QDate(1899, 12, 30).toJulianDay();
}

qint64 dayNumberOf(const QDate& date) {
    return date.toJulianDay() - kEpochJulian;
}

QDate dateOfDayNumber(qint64 day) {
    return QDate::fromJulianDay(day + kEpochJulian);
}

std::optional<QDate> parseFrenchDate(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!d.isValid() || d.year() < 100)
        return std::nullopt;
    return d;
}

qint64 dayNumberOfTypedOrZero(const QString& text) {
    const auto d = parseFrenchDate(text);
    return d ? dayNumberOf(*d) : 0;
}

QString frenchDate(const QDate& date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

namespace {
// 01/01/0100 and 31/12/9999: the dates a day number may stand for.
constexpr qint64 kFirstDay = -657434;
constexpr qint64 kLastDay = 2958465;
} // namespace

std::optional<qint64> storedDayOf(double stored) {
    // NaN and infinities fail both comparisons; the cast below is then always defined.
    if (!(stored >= double(kFirstDay) && stored < double(kLastDay + 1)))
        return std::nullopt;
    return static_cast<qint64>(stored);
}

std::optional<qint64> storedDayOf(const QVariant& stored) {
    if (stored.isNull())
        return std::nullopt;
    if (stored.typeId() == QMetaType::LongLong || stored.typeId() == QMetaType::Int) {
        const qint64 day = stored.toLongLong();
        if (day < kFirstDay || day > kLastDay)
            return std::nullopt;
        return day;
    }
    bool ok = false;
    const double v = stored.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return storedDayOf(v);
}

QString storedDateText(const std::optional<qint64>& day) {
    if (!day)
        return QString();
    if (*day == 0)
        return QStringLiteral("00:00:00");
    return frenchDate(dateOfDayNumber(*day));
}

QString storedDateText(const QVariant& stored) {
    return storedDateText(storedDayOf(stored));
}

} // namespace obs
