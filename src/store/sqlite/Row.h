#pragma once

#include "common/Money.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace obs {

// Column names of one result, shared by all its rows; looked up without regard to case.
class Columns {
public:
    explicit Columns(QStringList names);
    int indexOf(const QString& name) const; // -1 when absent
    const QStringList& names() const { return m_names; }

private:
    QStringList m_names;
    QHash<QString, int> m_index; // upper-case name -> position
};

// One row of a result, addressed by field name.
class Row {
public:
    Row() = default;
    Row(std::shared_ptr<const Columns> columns, QVector<QVariant> values)
        : m_columns(std::move(columns)), m_values(std::move(values)) {}

    bool isValid() const { return m_columns != nullptr; }
    bool has(const QString& name) const { return m_columns && m_columns->indexOf(name) >= 0; }
    QVariant value(const QString& name) const;
    bool isNull(const QString& name) const { return value(name).isNull(); }
    // Text of a field; an empty value gives an empty text.
    QString text(const QString& name) const;
    // A money column (1/10000 euro); nothing when empty.
    std::optional<Money> money(const QString& name) const;
    std::optional<qint64> integer(const QString& name) const;
    const QVector<QVariant>& values() const { return m_values; }
    const Columns* columns() const { return m_columns.get(); }

private:
    std::shared_ptr<const Columns> m_columns;
    QVector<QVariant> m_values;
};

// An amount as a file holds it, read the one way every reader of the file engine reads it: a whole
// number of 1/10000 euro; a real number (a damaged or foreign file) rounded when it fits; a text
// read as a number of units, or failing that as a typed amount. Nothing when empty or beyond
// what an amount holds.
std::optional<Money> storedMoney(const QVariant& v);

// Values to write, in the order given: a QString is text, an integer is a number (money in
// 1/10000 euro), a null QVariant clears the column.
using Fields = std::vector<std::pair<QString, QVariant>>;

inline QVariant moneyValue(Money m) {
    return QVariant::fromValue<qint64>(m.units());
}
inline QVariant moneyValue(const std::optional<Money>& m) {
    return m ? moneyValue(*m) : QVariant();
}

} // namespace obs
