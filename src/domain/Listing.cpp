#include "domain/Listing.h"

#include "common/DayNumber.h"
#include "store/SqlText.h"

#include <cmath>

namespace obs {

namespace {
const QString kBlanks = QStringLiteral("   ");
} // namespace

QString Listing::totalCaption(Kind kind) {
    if (kind == Kind::Excess)
        return QStringLiteral("Total du montant des mutuelles ou DE pour les actes recherchés");
    return QStringLiteral("Total du montant des actes recherchés  (tarif conventionné)");
}

QString Listing::periodCondition(qint64 firstDay, qint64 lastDay) {
    return QStringLiteral("WHERE DATE BETWEEN ") + QString::number(firstDay) + QStringLiteral(" And ") +
           QString::number(lastDay);
}

QString Listing::likeClause(const QString& column, const QString& text, bool prefix) {
    return QStringLiteral("AND (ACTES.") + column + QStringLiteral(" LIKE '") + sqlEscape(text) +
           (prefix ? QStringLiteral("*") : QString()) + QStringLiteral("')");
}

QString Listing::criteriaClauses(const SearchCriteria& c) {
    QString w;
    if (!c.followUp.isEmpty())
        w += likeClause(QStringLiteral("MEDSUIT"), c.followUp);
    if (!c.performer.isEmpty())
        w += likeClause(QStringLiteral("MEDACTE"), c.performer);
    if (!c.act.isEmpty())
        w += likeClause(QStringLiteral("ACTE"), c.act, true);
    if (!c.nightOrHoliday.isEmpty())
        w += likeClause(QStringLiteral("NF"), c.nightOrHoliday, true);
    return w;
}

QString Listing::selection(Kind kind, const QString& condition) {
    QString sql = QStringLiteral("SELECT ACTES.* From ACTES ") + condition;
    switch (kind) {
    case Kind::Search:
        break;
    case Kind::Unpaid:
        sql += QStringLiteral(" AND (ACTES.PAYESECU =0) ORDER BY NOM, PRENOM");
        break;
    case Kind::Excess:
        sql += QStringLiteral(" AND (ACTES.DE <>0) ORDER BY NOM, PRENOM");
        break;
    }
    return sql;
}

QString Listing::totalQuery(Kind kind, const QString& condition) {
    switch (kind) {
    case Kind::Search:
        break;
    case Kind::Unpaid:
        return QStringLiteral("SELECT SUM(PRIX) AS TOTAL From ACTES ") + condition +
               QStringLiteral(" AND (ACTES.PAYESECU =0)");
    case Kind::Excess:
        return QStringLiteral("SELECT SUM(DE) AS TOTAL From ACTES ") + condition;
    }
    return QStringLiteral("SELECT SUM(PRIX) AS TOTAL From ACTES ") + condition;
}

bool Listing::hasWildcard(const QString& text) {
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[')
            return true;
    }
    return false;
}

std::optional<Money> Listing::sumValue(const QVariant& sum) {
    if (sum.isNull())
        return std::nullopt;
    if (sum.typeId() == QMetaType::Double)
        return Money::fromUnits(std::llround(sum.toDouble()));
    bool ok = false;
    const qint64 units = sum.toLongLong(&ok);
    if (ok)
        return Money::fromUnits(units);
    return Money::parse(sum.toString());
}

void ListingLines::locate(const Row& row) {
    m_columns = row.columns();
    if (!m_columns)
        return;
    m_nom = m_columns->indexOf(QStringLiteral("Nom"));
    m_prenom = m_columns->indexOf(QStringLiteral("Prenom"));
    m_date = m_columns->indexOf(QStringLiteral("Date"));
    // The act's code: the store keeps it in CCAM1.
    m_code = m_columns->indexOf(QStringLiteral("CCAM1"));
    m_de = m_columns->indexOf(QStringLiteral("DE"));
    m_numint = m_columns->indexOf(QStringLiteral("NUMINT"));
}

QVariant ListingLines::at(const Row& row, int column) const {
    return column < 0 ? QVariant() : row.values().value(column);
}

QString ListingLines::textAt(const Row& row, int column) const {
    const QVariant v = at(row, column);
    return v.isNull() ? QString() : v.toString();
}

QString ListingLines::dateText(const QVariant& stored) {
    // Stored day numbers repeat across a year of acts: each is turned into a date text once.
    if (stored.typeId() != QMetaType::LongLong)
        return storedDateText(stored);
    const qint64 day = stored.toLongLong();
    auto it = m_dates.constFind(day);
    if (it != m_dates.constEnd())
        return it.value();
    const QString text = storedDateText(stored);
    m_dates.insert(day, text);
    return text;
}

QString ListingLines::number(const Row& row) {
    if (row.columns() != m_columns)
        locate(row);
    return textAt(row, m_numint);
}

QString ListingLines::line(const Row& row) {
    if (row.columns() != m_columns)
        locate(row);
    QString line = textAt(row, m_nom) + kBlanks + textAt(row, m_prenom) + kBlanks + dateText(at(row, m_date));
    const QString code = textAt(row, m_code);
    const std::optional<Money> de = Listing::sumValue(at(row, m_de));
    switch (m_kind) {
    case Listing::Kind::Search:
        line += QStringLiteral(" (") + code + QStringLiteral(") ");
        if (de && de->units() != 0)
            line += QStringLiteral("Mut : ") + de->toFrench() + QStringLiteral(" €");
        break;
    case Listing::Kind::Unpaid:
        line += QStringLiteral(", (") + code + u')';
        break;
    case Listing::Kind::Excess:
        line += QStringLiteral(" (") + code + QStringLiteral(")") + QStringLiteral(" Mut: ") + frenchAmountText(de) +
                QStringLiteral(" €");
        break;
    }
    return line;
}

} // namespace obs
