#include "store/sqlite/Row.h"

#include <cmath>

namespace obs {

Columns::Columns(QStringList names) : m_names(std::move(names)) {
    for (int i = 0; i < m_names.size(); ++i) {
        const QString key = m_names[i].toUpper();
        if (!m_index.contains(key))
            m_index.insert(key, i);
    }
}

int Columns::indexOf(const QString& name) const {
    auto it = m_index.constFind(name.toUpper());
    return it == m_index.constEnd() ? -1 : it.value();
}

QVariant Row::value(const QString& name) const {
    if (!m_columns)
        return {};
    const int i = m_columns->indexOf(name);
    return i < 0 ? QVariant() : m_values.value(i);
}

QString Row::text(const QString& name) const {
    const QVariant v = value(name);
    return v.isNull() ? QString() : v.toString();
}

std::optional<Money> Row::money(const QString& name) const {
    return storedMoney(value(name));
}

std::optional<Money> storedMoney(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (!(std::fabs(d) < 9.2e18))
            return std::nullopt;
        return Money::fromStored(std::llround(d));
    }
    bool ok = false;
    const qint64 units = v.toLongLong(&ok);
    if (ok)
        return Money::fromStored(units);
    return Money::parse(v.toString());
}

std::optional<qint64> Row::integer(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return i;
}

} // namespace obs
