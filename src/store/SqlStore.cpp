// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SqlStore.h"

#include "common/DayNumber.h"
#include "store/KeysetCursor.h"
#include "store/Tables.h"

#include <QDate>
#include <QHash>

namespace obs {

namespace {

Status noCurrent() {
    return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
}

// A sum as SQL gives it: 0 when there was nothing to add, nothing when it cannot be held.
std::optional<Money> storedSum(const SqlRow& r, int c) {
    return r.isNull(c) ? std::optional<Money>(Money()) : r.money(c);
}

// How the screens name an amount column.
QString amountCaption(const QString& column) {
    static const QHash<QString, QString> captions{
        {QStringLiteral("PRIX"), QStringLiteral("Montant")},
        {QStringLiteral("DE"), QStringLiteral("DE")},
        {QStringLiteral("PAYESECU"), QStringLiteral("Payé Sécu")},
        {QStringLiteral("PAYECOMPLE"), QStringLiteral("Payé Complémentaire")},
        {QStringLiteral("PAYEDE"), QStringLiteral("Payé DE")},
        {QStringLiteral("TARIFS"), QStringLiteral("Tarif")},
        {QStringLiteral("REVERSE"), QStringLiteral("Somme reversée")},
    };
    if (column.startsWith(QLatin1String("MUT")))
        return QStringLiteral("Mutuelle ") + column.mid(3);
    return captions.value(column, column);
}

// The books hold whole cents: a fraction of a cent would reach the receipts book and the FEC
// rounded one way on each line and another in the totals.
Status offCents(const QString& column, Money value) {
    return Status::failure(StoreError::RefusedValue,
                           QStringLiteral("Le montant « %1 » (%2 €) a plus de deux décimales : un montant s'enregistre "
                                          "au centime près. Rien n'a été enregistré.")
                               .arg(amountCaption(column), value.toFrench()));
}

// The first amount of `after` not in whole cents among the columns written, that `before` did not
// already hold; success when there is none.
template <class R> Status wholeCents(const Table<R>& t, unsigned uses, const R* before, const R& after) {
    Money value;
    const char* column = amountOffCents(t, uses, before, after, &value);
    return column ? offCents(QString::fromLatin1(column), value) : Status::success();
}

} // namespace

// What is still to collect on an act, as the main window computes it.
QString SqlStore::remainder() const {
    return QStringLiteral("(coalesce(%1, 0) + coalesce(%2, 0) - coalesce(%3, 0) - coalesce(%4, 0) - coalesce(%5, 0))")
        .arg(n("PRIX"), n("DE"), n("PAYESECU"), n("PAYECOMPLE"), n("PAYEDE"));
}

QString SqlStore::listingCondition(ListingKind kind, const Period& period, const SearchCriteria& c,
                                   QVariantList* binds) const {
    QString w = QStringLiteral("WHERE %1 BETWEEN ? AND ?").arg(n("Date"));
    *binds << bound(period.firstDay) << bound(period.lastDay);
    auto match = [&](const char* column, const QString& pattern, bool seek) {
        w += QStringLiteral(" AND ") + m_sql.nameMatch(n(column), pattern, binds, seek);
    };
    if (kind == ListingKind::Search || kind == ListingKind::Remainder) {
        // Both practitioners named: the pair index seeks the pair's acts of the period directly; one
        // alone, the practitioner's index where the base has it (it carries the other practitioner,
        // so a pair read there never goes to the acts). Otherwise the period's index answers.
        const bool pair = (!c.followedBy.isEmpty() && !c.performedBy.isEmpty() && !hasWildcard(c.followedBy) &&
                           !hasWildcard(c.performedBy)) ||
                          m_sql.seeksOnePractitioner();
        if (!c.followedBy.isEmpty())
            match("MEDSUIT", c.followedBy, pair);
        if (!c.performedBy.isEmpty())
            match("MEDACTE", c.performedBy, pair);
        if (!c.act.isEmpty())
            match("Acte", c.act + u'*', true);
        if (!c.nightOrHoliday.isEmpty())
            match("NF", c.nightOrHoliday + u'*', true);
        if (!c.patient.isEmpty())
            match("Nom", c.patient, false);
        if (kind == ListingKind::Remainder)
            w += QStringLiteral(" AND ") + remainder() + QStringLiteral(" > 0");
    } else if (kind == ListingKind::Unpaid) {
        w += QStringLiteral(" AND %1 = 0").arg(n("PAYESECU"));
    } else {
        w += QStringLiteral(" AND %1 <> 0").arg(n("DE"));
    }
    return w;
}

std::unique_ptr<RecordCursor> SqlStore::browse(const BrowseQuery& query, Status* status) {
    KeysetCursor::Shape shape;
    const bool acts = query.source == BrowseQuery::Source::ActsByName || query.source == BrowseQuery::Source::AllActs;
    shape.acts = acts;
    if (acts) {
        shape.table = n("ACTES");
        shape.id = n("NUMINT");
        shape.columns = columnList(m_sql, actsTable());
        if (query.source == BrowseQuery::Source::ActsByName)
            shape.keys = m_sql.textKeys(n("Nom")) + m_sql.textKeys(n("Prenom"));
        shape.find = [this](const QString& text, QVariantList* binds) {
            return m_sql.textAtOrAfter(n("Nom"), text, binds);
        };
    } else {
        shape.table = n("MEMO");
        shape.id = m_sql.memoId();
        shape.columns = columnList(m_sql, memoTable());
        if (query.source == BrowseQuery::Source::ReferenceList) {
            shape.where = n("NUMEROS") + QStringLiteral(" = ?");
            shape.binds = {int(query.list)};
            if (query.order == ReferenceOrder::ByLabel)
                shape.keys = m_sql.textKeys(n("TEXTE"));
            else if (query.order == ReferenceOrder::ByCatalogue)
                // An entry without its place comes first.
                shape.keys = QStringList{QStringLiteral("coalesce(\"%1\", -9223372036854775808)").arg(n("INDEX"))};
        }
        shape.find = [this](const QString& text, QVariantList* binds) {
            return m_sql.textEquals(n("TEXTE"), text, binds);
        };
    }
    return KeysetCursor::open(m_db, m_sql, std::move(shape), status);
}

// ---- Acts ----

Status SqlStore::find(qint64 number, Act* act, bool* found) {
    *found = false;
    return m_db->run(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(columnList(m_sql, actsTable()), n("ACTES"), n("NUMINT")),
        {bound(number)}, [&](const SqlRow& r) {
            *act = recordAt(actsTable(), r, 0);
            *found = true;
            return false;
        });
}

Status SqlStore::findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) {
    // A few hundred at a time, put back in the order asked.
    constexpr size_t chunk = 500;
    acts->clear();
    acts->reserve(numbers.size());
    QHash<qint64, Act> read;
    const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                               .arg(columnList(m_sql, actsTable()), n("ACTES"), n("NUMINT"));
    for (size_t first = 0; first < numbers.size(); first += chunk) {
        const size_t last = std::min(numbers.size(), first + chunk);
        QStringList marks;
        QVariantList binds;
        for (size_t i = first; i < last; ++i) {
            marks << QStringLiteral("?");
            binds << bound(numbers[i]);
        }
        read.clear();
        const Status s = m_db->run(select.arg(marks.join(u',')), binds, [&](const SqlRow& r) {
            Act act = recordAt(actsTable(), r, 0);
            read.insert(act.number, std::move(act));
            return true;
        });
        if (!s)
            return s;
        for (size_t i = first; i < last; ++i) {
            if (const auto it = read.constFind(numbers[i]); it != read.cend())
                acts->push_back(*it);
        }
    }
    return Status::success();
}

namespace {

// What each payer's running total moved by between two states of an act; nothing when it cannot
// be held.
struct PaymentMove {
    Payer payer;
    std::optional<Money> amount;
};
std::vector<PaymentMove> paymentMoves(const Act& before, const Act& after) {
    std::vector<PaymentMove> moves;
    auto move = [&](Payer payer, const std::optional<Money>& was, const std::optional<Money>& is) {
        const Money from = was.value_or(Money());
        const Money to = is.value_or(Money());
        if (from != to)
            moves.push_back({payer, to.minus(from)});
    };
    move(Payer::Secu, before.paidSecu, after.paidSecu);
    move(Payer::Complementary, before.paidComplementary, after.paidComplementary);
    move(Payer::Patient, before.paidExcess, after.paidExcess);
    return moves;
}

bool isPaymentColumn(const QString& column) {
    return column == QLatin1String("PAYESECU") || column == QLatin1String("PAYECOMPLE") ||
           column == QLatin1String("PAYEDE");
}

} // namespace

Status SqlStore::update(const Act& shown, const Act& a, bool withDate, const std::optional<Receipt>& receipt) {
    using C = Column<Act>;
    // What the act holds once written: the edited columns, the others as they stand.
    Act after = shown;
    copyColumns(actsTable(), C::Edited | (withDate ? C::Dated : 0u), a, &after);
    if (const Status cents = wholeCents(actsTable(), C::Edited, &shown, after); !cents)
        return cents;
    const auto moves = paymentMoves(shown, after);
    const qint64 today = dayNumberOf(QDate::currentDate());
    const Receipt received = receipt.value_or(Receipt{today, PaymentMode::Transfer});
    if (!moves.empty()) {
        if (received.day > today)
            return Status::failure(StoreError::RefusedValue,
                                   QStringLiteral("La date de réception (%1) est postérieure à aujourd'hui.")
                                       .arg(storedDateText(std::optional(received.day))));
        if (after.date && received.day < *after.date)
            return Status::failure(StoreError::RefusedValue,
                                   QStringLiteral("La date de réception (%1) précède la date de l'acte (%2).")
                                       .arg(storedDateText(std::optional(received.day)), storedDateText(after.date)));
        for (const auto& m : moves) {
            if (!m.amount)
                return Status::failure(StoreError::RefusedValue,
                                       QStringLiteral("Le paiement est hors des montants possibles."));
        }
    }
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        QVariantList binds;
        QString sql = QStringLiteral("UPDATE %1 SET ").arg(n("ACTES")) +
                      assignments(m_sql, actsTable(), C::Edited | (withDate ? C::Dated : 0u), a, &binds) +
                      QStringLiteral(" WHERE %1 = ?").arg(n("NUMINT"));
        binds << bound(shown.number);
        sql += unchanged(m_sql, actsTable(), shown, &binds);
        qint64 changes = 0;
        Status s = m_db->run(sql, binds, {}, &changes);
        if (!s)
            return s;
        if (changes == 0) {
            Act now;
            bool found = false;
            s = find(shown.number, &now, &found);
            if (!s)
                return s;
            if (!found)
                return noCurrent();
            return Status::failure(
                StoreError::Changed,
                QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage."));
        }
        // The act was as shown: what changed is what the screen changed.
        auto columns = actChanges(shown, after);
        std::erase_if(columns, [](const ColumnChange& c) { return isPaymentColumn(c.column); });
        if (!columns.empty()) {
            JournalEntry e;
            e.act = shown.number;
            e.kind = JournalKind::Modified;
            e.changes = std::move(columns);
            entries->push_back(std::move(e));
        }
        for (const auto& m : moves) {
            JournalEntry e;
            e.act = shown.number;
            e.kind = JournalKind::Payment;
            e.receivedOn = received.day;
            e.payer = payerCode(m.payer);
            // The receipt stays the performer's of this moment: a later correction moves nothing.
            e.performer = after.performedBy;
            e.mode = received.mode;
            e.amount = m.amount;
            entries->push_back(std::move(e));
        }
        return s;
    });
}

Status SqlStore::remove(qint64 number) {
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        Act before;
        bool found = false;
        Status s = find(number, &before, &found);
        if (s && !found)
            s = noCurrent();
        qint64 changes = 0;
        if (s)
            s = m_db->run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(n("ACTES"), n("NUMINT")), {bound(number)},
                          {}, &changes);
        if (s && changes == 0)
            s = noCurrent();
        if (s) {
            JournalEntry e;
            e.act = number;
            e.kind = JournalKind::Deleted;
            e.changes = actChanges(before, std::nullopt);
            entries->push_back(std::move(e));
        }
        return s;
    });
}

Status SqlStore::append(const Act& a, qint64* number) {
    *number = 0;
    if (const Status cents = wholeCents<Act>(actsTable(), Column<Act>::Added, nullptr, a); !cents)
        return cents;
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        // The act as the base now holds it, its number and defaults filled in, in the same statement.
        QVariantList binds;
        const QString sql =
            insertion(m_sql, actsTable(), a, &binds) + QStringLiteral(" RETURNING ") + columnList(m_sql, actsTable());
        Act stored;
        bool found = false;
        Status s = m_db->run(sql, binds, [&](const SqlRow& r) {
            stored = recordAt(actsTable(), r, 0);
            found = true;
            return true;
        });
        const qint64 made = stored.number;
        if (s && !found)
            s = noCurrent();
        if (s) {
            JournalEntry e;
            e.act = made;
            e.kind = JournalKind::Created;
            e.changes = actChanges(std::nullopt, stored);
            entries->push_back(std::move(e));
            *number = made;
        }
        return s;
    });
}

Status SqlStore::listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                         const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7")
                      .arg(n("NUMINT"), n("Nom"), n("Prenom"), n("Date"), n("CCAM1"), n("DE"), n("PRIX")) +
                  (kind == ListingKind::Remainder ? QStringLiteral(", ") + remainder() : QString()) +
                  QStringLiteral(" FROM %1 ").arg(n("ACTES")) + listingCondition(kind, period, criteria, &binds);
    // The search lists the acts by date, then by name (the period index's own order); the others
    // by name.
    const QString byName = (m_sql.textKeys(n("Nom")) + m_sql.textKeys(n("Prenom"))).join(QStringLiteral(", "));
    sql += kind == ListingKind::Search
               ? QStringLiteral(" ORDER BY %1, %2").arg(n("Date"), byName) + m_sql.dayListingTie()
               : QStringLiteral(" ORDER BY %1, %2, %3").arg(byName, n("Date"), n("NUMINT"));
    ListingRow row;
    ListingSum sum(kind);
    TextPool texts;
    bool stopped = false;
    const Status s = m_db->run(sql, binds, [&](const SqlRow& r) {
        const auto pooled = [&](int column) {
            const QByteArrayView b = r.utf8(column);
            return b.isEmpty() ? QString() : texts.sharedUtf8(b.data(), b.size());
        };
        row.number = r.integer(0).value_or(0);
        // Names are pooled by their bytes: a name seen before is not decoded again.
        row.surname = pooled(1);
        row.firstName = pooled(2);
        row.date = r.day(3);
        row.code = pooled(4);
        row.excess = r.money(5);
        if (kind == ListingKind::Remainder) {
            row.remainder = r.money(7);
            sum.add(row.remainder);
        } else {
            sum.add(r.money(6));
        }
        stopped = !each(row);
        return !stopped;
    });
    if (!s || !total)
        return s;
    Status t = stopped || !sum.fromRows() ? listingTotal(kind, period, criteria, total) : sum.result(total);
    if (!t && t.error != StoreError::Closed)
        t.error = StoreError::TotalMissing;
    return t;
}

Status SqlStore::listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                              std::optional<Money>* total) {
    QVariantList binds;
    const QString column = kind == ListingKind::Excess      ? n("DE")
                           : kind == ListingKind::Remainder ? remainder()
                                                            : n("PRIX");
    // The excess total is the sum of DE over every act of the period: the acts without one add nothing.
    const QString sql =
        QStringLiteral("SELECT SUM(%1) FROM %2 ").arg(column, n("ACTES")) +
        (kind == ListingKind::Excess ? listingCondition(ListingKind::Search, period, SearchCriteria{}, &binds)
                                     : listingCondition(kind, period, criteria, &binds));
    *total = std::nullopt;
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        *total = r.money(0);
        return false;
    });
}

Status SqlStore::pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) {
    QVariantList binds{bound(period.firstDay), bound(period.lastDay)};
    // One condition after the other: the values are bound in the order of their marks.
    QString sql = QStringLiteral("SELECT SUM(%1), SUM(%2) FROM %3 WHERE %4 BETWEEN ? AND ?")
                      .arg(n("PRIX"), n("REVERSE"), n("ACTES"), n("Date"));
    sql += QStringLiteral(" AND ") + m_sql.nameMatch(n("MEDSUIT"), follower, &binds, true);
    sql += QStringLiteral(" AND ") + m_sql.nameMatch(n("MEDACTE"), performer, &binds, true);
    *sums = {};
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        sums->value = r.money(0);
        sums->reversed = r.money(1);
        return false;
    });
}

Status SqlStore::latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE TRUE").arg(n("NUMINT"), n("ACTES"));
    sql += QStringLiteral(" AND ") + m_sql.nameMatch(n("MEDSUIT"), follower, &binds, true);
    sql += QStringLiteral(" AND ") + m_sql.nameMatch(n("MEDACTE"), performer, &binds, true);
    sql +=
        QStringLiteral(" ORDER BY %1 DESC%2, %3 DESC LIMIT 1").arg(n("Date"), m_sql.nullsLastDescending(), n("NUMINT"));
    *number = std::nullopt;
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        *number = r.integer(0);
        return false;
    });
}

Status SqlStore::addReversal(qint64 number, qint64 day, Money amount, bool* changed, PaymentMode mode) {
    *changed = false;
    if (!amount.inWholeCents())
        return offCents(QStringLiteral("REVERSE"), amount);
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        Act act;
        Status s = find(number, &act, changed);
        if (!s || !*changed)
            return s;
        qint64 changes = 0;
        s = m_db->run(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = coalesce(%3, 0) + ? WHERE %4 = ?")
                          .arg(n("ACTES"), n("DateRev"), n("REVERSE"), n("NUMINT")),
                      {bound(day), bound(amount.units()), bound(number)}, {}, &changes);
        *changed = s && changes > 0;
        if (*changed) {
            JournalEntry e;
            e.act = number;
            e.kind = JournalKind::ReversalPaid;
            e.receivedOn = day;
            e.payer = act.performedBy;
            e.payee = act.followedBy;
            e.performer = act.performedBy;
            e.mode = mode;
            e.amount = amount;
            entries->push_back(std::move(e));
        }
        return s;
    });
}

// ---- Reference lists ----

Status SqlStore::labels(ReferenceList list, ReferenceOrder order, QStringList* labels) {
    labels->clear();
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY ").arg(n("TEXTE"), n("MEMO"), n("NUMEROS"));
    switch (order) {
    case ReferenceOrder::ByLabel:
        sql += m_sql.textKeys(n("TEXTE")).join(QStringLiteral(", ")) + QStringLiteral(", ");
        break;
    case ReferenceOrder::ByCatalogue:
        sql += QStringLiteral("\"%1\"%2, ").arg(n("INDEX"), m_sql.nullsFirst());
        break;
    case ReferenceOrder::AsStored:
        break;
    }
    return m_db->run(sql + m_sql.memoId(), {int(list)}, [&](const SqlRow& r) {
        labels->append(r.text(0));
        return true;
    });
}

Status SqlStore::find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry, bool* found) {
    *found = false;
    QVariantList binds;
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE ").arg(columnList(m_sql, memoTable()), n("MEMO")) +
                  m_sql.textEquals(n("TEXTE"), label, &binds);
    if (list) {
        sql += QStringLiteral(" AND %1 = ?").arg(n("NUMEROS"));
        binds << int(*list);
    }
    sql += QStringLiteral(" ORDER BY %1 LIMIT 1").arg(m_sql.memoId());
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        *entry = recordAt(memoTable(), r, 0);
        *found = true;
        return false;
    });
}

// The first entry (as stored) of a list with this label, without regard to case.
QString SqlStore::firstEntry(ReferenceList list, const QString& label, QVariantList* binds) const {
    *binds << int(list);
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND ").arg(m_sql.memoId(), n("MEMO"), n("NUMEROS")) +
           m_sql.textEquals(n("TEXTE"), label, binds) + QStringLiteral(" ORDER BY %1 LIMIT 1").arg(m_sql.memoId());
}

Status SqlStore::add(const ReferenceEntry& entry) {
    bool found = false;
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        return writeReference({ReferenceChange::Kind::Add, {}, entry}, &found, entries);
    });
}

Status SqlStore::modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) {
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        return writeReference({ReferenceChange::Kind::Modify, shown, edited}, found, entries);
    });
}

Status SqlStore::remove(ReferenceList list, const QString& label, bool* found) {
    ReferenceEntry shown;
    shown.list = list;
    shown.label = label;
    return journaled({}, [&](std::vector<JournalEntry>* entries) {
        return writeReference({ReferenceChange::Kind::Remove, shown, {}}, found, entries);
    });
}

// One change of a reference entry and its journal entry, within the caller's transaction.
Status SqlStore::writeReference(const ReferenceChange& change, bool* found, std::vector<JournalEntry>* entries) {
    *found = false;
    std::optional<ReferenceEntry> before;
    std::optional<ReferenceEntry> after;
    Status s;
    QVariantList binds;
    qint64 changes = 0;
    using M = Column<ReferenceEntry>;
    if (change.kind == ReferenceChange::Kind::Add)
        s = wholeCents<ReferenceEntry>(memoTable(), M::Added, nullptr, change.edited);
    else if (change.kind == ReferenceChange::Kind::Modify)
        s = wholeCents(memoTable(), M::Edited, &change.shown, change.edited);
    if (!s)
        return s;
    switch (change.kind) {
    case ReferenceChange::Kind::Add:
        s = m_db->run(insertion(m_sql, memoTable(), change.edited, &binds), binds);
        *found = bool(s);
        after = change.edited;
        break;
    case ReferenceChange::Kind::Modify: {
        const ReferenceEntry& shown = change.shown;
        ReferenceEntry stored;
        s = find(shown.list, shown.label, &stored, found);
        if (!s || !*found)
            return s;
        QString sql = QStringLiteral("UPDATE %1 SET ").arg(n("MEMO")) +
                      assignments(m_sql, memoTable(), Column<ReferenceEntry>::Edited, change.edited, &binds);
        sql += QStringLiteral(" WHERE %1 = (%2)").arg(m_sql.memoId(), firstEntry(shown.list, shown.label, &binds));
        sql += unchanged(m_sql, memoTable(), shown, &binds);
        s = m_db->run(sql, binds, {}, &changes);
        if (s && changes == 0)
            return Status::failure(StoreError::Changed,
                                   QStringLiteral("Cet item a été modifié sur un autre poste depuis son affichage."));
        before = stored;
        after = stored;
        copyColumns(memoTable(), Column<ReferenceEntry>::Edited, change.edited, &*after);
        break;
    }
    case ReferenceChange::Kind::Remove: {
        ReferenceEntry stored;
        s = find(change.shown.list, change.shown.label, &stored, found);
        if (!s || !*found)
            return s;
        s = m_db->run(QStringLiteral("DELETE FROM %1 WHERE %2 = (%3)")
                          .arg(n("MEMO"), m_sql.memoId(), firstEntry(change.shown.list, change.shown.label, &binds)),
                      binds, {}, &changes);
        *found = changes > 0;
        before = stored;
        break;
    }
    }
    if (s && *found) {
        JournalEntry e;
        e.kind = JournalKind::ReferenceChanged;
        e.changes = entryChanges(before, after);
        // The list and the label say which entry, even where they did not change.
        auto kept = [](const ColumnChange& c) {
            return c.column != QLatin1String("NUMEROS") && c.column != QLatin1String("TEXTE");
        };
        std::vector<ColumnChange> which;
        auto side = [](const std::optional<ReferenceEntry>& r, auto get) {
            return r ? std::optional<QString>(get(*r)) : std::nullopt;
        };
        which.push_back({QStringLiteral("NUMEROS"),
                         side(before, [](const auto& r) { return QString::number(int(r.list)); }),
                         side(after, [](const auto& r) { return QString::number(int(r.list)); })});
        which.push_back({QStringLiteral("TEXTE"), side(before, [](const auto& r) { return r.label; }),
                         side(after, [](const auto& r) { return r.label; })});
        std::copy_if(e.changes.begin(), e.changes.end(), std::back_inserter(which), kept);
        e.changes = std::move(which);
        entries->push_back(std::move(e));
    }
    return s;
}

// The insurers in the order labels(ByLabel) gives; a new one after those of the same label, as its
// row will be stored after theirs.
Status SqlStore::insurerOrder(const ReferenceChange& change, bool changed,
                              std::vector<MutualSlots::Insurer>* insurers) {
    insurers->clear();
    const QString id = m_sql.memoId();
    QString label = n("TEXTE");
    QString where = n("NUMEROS") + QStringLiteral(" = ?");
    QString added;
    QVariantList binds;
    if (changed && change.kind == ReferenceChange::Kind::Modify) {
        label = QStringLiteral("CASE WHEN %1 = (%2) THEN %3 ELSE %4 END")
                    .arg(id, firstEntry(change.shown.list, change.shown.label, &binds), m_sql.textMark(), label);
        binds << bound(change.edited.label);
    }
    binds << int(ReferenceList::MutualInsurers);
    if (changed && change.kind == ReferenceChange::Kind::Remove)
        where += QStringLiteral(" AND %1%2(%3)")
                     .arg(id, m_sql.nullSafe(false), firstEntry(change.shown.list, change.shown.label, &binds));
    if (changed && change.kind == ReferenceChange::Kind::Add) {
        added = QStringLiteral(" UNION ALL SELECT -1, %1, 1").arg(m_sql.textMark());
        binds << bound(change.edited.label);
    }
    const QString sql = QStringLiteral("SELECT id, t FROM (SELECT %1, %2 AS t, 0 AS n FROM %3 WHERE %4%5) s "
                                       "ORDER BY %6, n, id")
                            .arg(id == QLatin1String("id") ? id : id + QStringLiteral(" AS id"), label, n("MEMO"),
                                 where, added, m_sql.expressionOrder(QStringLiteral("t")));
    return m_db->run(sql, binds, [&](const SqlRow& r) {
        insurers->push_back({r.integer(0).value_or(0), r.text(1)});
        return true;
    });
}

Status SqlStore::slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) {
    *plan = {};
    if (change.list() != ReferenceList::MutualInsurers)
        return Status::success();
    std::vector<MutualSlots::Insurer> before;
    std::vector<MutualSlots::Insurer> after;
    Status s = insurerOrder(change, false, &before);
    if (s)
        s = insurerOrder(change, true, &after);
    if (s)
        *plan = MutualSlots::plan(before, after);
    return s;
}

Status SqlStore::emptiedAmounts(const MutualSlots::Plan& plan, MutualSlots::Loss* loss) {
    *loss = {};
    loss->columns = MutualSlots::emptiedColumns(plan);
    if (loss->columns.empty())
        return Status::success();
    QStringList columns;
    for (int c : loss->columns)
        columns << m_sql.name(QStringLiteral("MUT%1").arg(c));
    // Read entry by entry: a catalogue is small, and each amount goes through the engine's decoder.
    Money total;
    bool unknown = false;
    std::vector<bool> held(columns.size(), false);
    const Status s =
        m_db->run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (?, ?)")
                      .arg(columns.join(QStringLiteral(", ")), n("MEMO"), n("NUMEROS")),
                  {int(ReferenceList::DeliveryActs), int(ReferenceList::SurgicalActs)}, [&](const SqlRow& r) {
                      bool holds = false;
                      for (int i = 0; i < int(columns.size()); ++i) {
                          if (r.isNull(i))
                              continue;
                          const auto amount = r.money(i);
                          if (amount && *amount == Money())
                              continue;
                          holds = true;
                          held[size_t(i)] = true;
                          const auto sum = amount ? total.plus(*amount) : std::nullopt;
                          if (sum)
                              total = *sum;
                          else
                              unknown = true;
                      }
                      loss->acts += holds ? 1 : 0;
                      return true;
                  });
    if (!s) {
        *loss = {};
        return s;
    }
    loss->amount = unknown ? std::nullopt : std::optional<Money>(total);
    // Only the columns that held something are named to the user.
    std::vector<int> emptied;
    for (size_t i = 0; i < held.size(); ++i) {
        if (held[i])
            emptied.push_back(loss->columns[i]);
    }
    loss->columns = std::move(emptied);
    return s;
}

// Every act entry's MUTk takes what MUT(sourceOf[k]) held, or no value.
Status SqlStore::moveColumns(const MutualSlots::Plan& plan) {
    QStringList sets;
    for (int k = 0; k < MutualSlots::kCount; ++k) {
        const auto& source = plan.sourceOf[size_t(k)];
        auto slot = [&](int j) { return m_sql.name(QStringLiteral("MUT%1").arg(j)); };
        if (source != k + 1)
            sets << QStringLiteral("%1 = %2").arg(slot(k + 1), source ? slot(*source) : QStringLiteral("NULL"));
    }
    return m_db->run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 IN (?, ?)")
                         .arg(n("MEMO"), sets.join(QStringLiteral(", ")), n("NUMEROS")),
                     {int(ReferenceList::DeliveryActs), int(ReferenceList::SurgicalActs)});
}

Status SqlStore::apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) {
    *found = false;
    // Both workstations changing the list at once: the second waits, then reads the list as the
    // first left it; no other workstation changes it between the reading and the writing.
    return journaled({n("MEMO")}, [&](std::vector<JournalEntry>* entries) {
        MutualSlots::Plan now;
        Status s = slotPlan(change, &now);
        if (s && now != agreed)
            s = Status::failure(StoreError::Changed,
                                QStringLiteral("La liste des mutuelles a été modifiée sur un autre poste depuis son "
                                               "affichage."));
        if (s)
            s = writeReference(change, found, entries);
        if (s && *found && now.rewritesColumns()) {
            s = moveColumns(now);
            // Where each excess column of the act lists came from (0: emptied).
            QStringList sources;
            for (const auto& source : now.sourceOf)
                sources << QString::number(source.value_or(0));
            if (!entries->empty())
                entries->back().changes.push_back(
                    {QStringLiteral("MUT1-MUT6"), QStringLiteral("1 2 3 4 5 6"), sources.join(u' ')});
        }
        return s;
    });
}

// ---- Yearly statement ----

Status SqlStore::yearStatement(int year, const QString& performer, YearStatement* statement) {
    *statement = {};
    if (year < kFirstStatementYear || year > kLastStatementYear)
        return Status::failure(StoreError::RefusedValue,
                               QStringLiteral("L'année %1 est hors des années possibles (%2 à %3).")
                                   .arg(year)
                                   .arg(kFirstStatementYear)
                                   .arg(kLastStatementYear));
    const auto starts = monthStarts(year);
    // A practitioner's name matched as the listings match it, kept off the practitioner-pair index:
    // the period's index answers a year's acts.
    auto performed = [&](const char* column, QVariantList* binds) {
        return m_sql.nameMatch(n(column), performer, binds, false);
    };
    const QString period = QStringLiteral("%1 BETWEEN ? AND ?").arg(n("Date"));

    // The month (1 to 12) of a day of the year, from the boundaries bound in order.
    QVariantList binds;
    QString sql = QStringLiteral("SELECT CASE");
    for (int m = 1; m < 12; ++m) {
        sql += QStringLiteral(" WHEN %1 < %2 THEN %3").arg(n("Date"), m_sql.numberMark()).arg(m);
        binds << bound(starts[m]);
    }
    sql += QStringLiteral(" ELSE 12 END AS mois, count(*), sum(%1), sum(%2), sum(%3), sum(%4), sum(%5) FROM %6 WHERE ")
               .arg(n("PRIX"), n("DE"), n("PAYESECU"), n("PAYECOMPLE"), n("PAYEDE"), n("ACTES")) +
           period;
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND ") + performed("MEDACTE", &binds) + QStringLiteral(" GROUP BY 1");
    Status s = m_db->run(sql, binds, [&](const SqlRow& r) {
        const auto month = r.integer(0).value_or(0);
        if (month < 1 || month > 12)
            return true;
        StatementFigures& f = statement->months[month - 1];
        f.acts = r.integer(1).value_or(0);
        f.price = storedSum(r, 2);
        f.excess = storedSum(r, 3);
        f.paidSecu = storedSum(r, 4);
        f.paidComplementary = storedSum(r, 5);
        f.paidExcess = storedSum(r, 6);
        return true;
    });
    if (!s) {
        *statement = {};
        return s;
    }

    // Each act of the year between the practitioner and a colleague, whichever performed it: its
    // sum paid over went from the one who performed it to the one who follows the patient.
    binds.clear();
    const QString spelling = QStringLiteral("min(%1)").arg(m_sql.bytewise(QStringLiteral("confrere")));
    sql = QStringLiteral("SELECT %1, sum(CASE WHEN effectue THEN %2 END), sum(CASE WHEN effectue THEN NULL ELSE %2 "
                         "END) FROM (SELECT ")
              .arg(spelling, n("REVERSE"));
    sql += performed("MEDACTE", &binds) + QStringLiteral(" AS effectue, CASE WHEN ");
    sql += performed("MEDACTE", &binds) +
           QStringLiteral(" THEN %1 ELSE %2 END AS confrere, %3 FROM %4 WHERE ")
               .arg(n("MEDSUIT"), n("MEDACTE"), n("REVERSE"), n("ACTES")) +
           period;
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND (") + performed("MEDACTE", &binds) + QStringLiteral(" OR ") +
           performed("MEDSUIT", &binds) + QStringLiteral(")");
    sql += QStringLiteral(" AND NOT (") + performed("MEDACTE", &binds) + QStringLiteral(" AND ") +
           performed("MEDSUIT", &binds) + QStringLiteral(")) t");
    sql += QStringLiteral(" WHERE confrere <> '' GROUP BY %1 HAVING sum(%2) IS NOT NULL ORDER BY %3")
               .arg(m_sql.primaryKey(QStringLiteral("confrere")), n("REVERSE"), m_sql.expressionOrder(spelling));
    s = m_db->run(sql, binds, [&](const SqlRow& r) {
        statement->reversals.push_back({r.text(0), storedSum(r, 1), storedSum(r, 2)});
        return true;
    });
    if (!s)
        *statement = {};
    return s;
}

} // namespace obs
