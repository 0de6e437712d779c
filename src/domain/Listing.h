#pragma once

#include "common/Money.h"
#include "store/Row.h"

#include <QHash>
#include <QString>
#include <optional>

namespace obs {

// What the search screen's criteria hold: each is used only when not empty.
struct SearchCriteria {
    QString followUp;       // practitioner following the patient (MEDSUIT), whole name or Jet wildcards
    QString performer;      // practitioner who performed the act (MEDACTE)
    QString act;            // delivery act (Acte), matched as a prefix
    QString nightOrHoliday; // F or N (NF), matched as a prefix
};

// The three listings of the search screen: the search by criteria, the acts the national
// insurance has not paid yet and the acts with an excess fee. Each gives its total caption, its
// selection, its total and the form of its lines.
class Listing {
public:
    enum class Kind { Search, Unpaid, Excess };

    static QString totalCaption(Kind kind);
    // "WHERE DATE BETWEEN d1 And d2": both days included.
    static QString periodCondition(qint64 firstDay, qint64 lastDay);
    // The criteria clauses joined right after the period, in their fixed order.
    static QString criteriaClauses(const SearchCriteria& criteria);
    // The found set: "SELECT ACTES.* From ACTES " + condition + the listing's own ending.
    static QString selection(Kind kind, const QString& condition);
    // The total of the listing ("SELECT SUM(...) AS TOTAL From ACTES " + condition ...).
    static QString totalQuery(Kind kind, const QString& condition);

    // "AND (ACTES.<column> LIKE '<text>')", the text kept one value between its apostrophes;
    // a prefix match adds the "*" wildcard after it.
    static QString likeClause(const QString& column, const QString& text, bool prefix = false);
    // A name holding a Jet wildcard (* ? # [) stands for several names.
    static bool hasWildcard(const QString& text);

    // The value of a SUM: nothing when the sum is empty (no act).
    static std::optional<Money> sumValue(const QVariant& sum);
};

// Builds the lines of a listing from its rows; column places and date texts are worked out once
// for the whole found set, so that a year of acts is listed at once.
class ListingLines {
public:
    explicit ListingLines(Listing::Kind kind) : m_kind(kind) {}
    QString line(const Row& row);
    // NUMINT of the row as the hidden companion list holds it.
    QString number(const Row& row);

private:
    void locate(const Row& row);
    QVariant at(const Row& row, int column) const;
    QString textAt(const Row& row, int column) const;
    QString dateText(const QVariant& stored);

    Listing::Kind m_kind;
    const Columns* m_columns = nullptr;
    int m_nom = -1, m_prenom = -1, m_date = -1, m_code = -1, m_de = -1, m_numint = -1;
    QHash<qint64, QString> m_dates;
};

} // namespace obs
