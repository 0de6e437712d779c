// SPDX-License-Identifier: GPL-3.0-or-later
// A practitioner's receipts book over either engine, read from the journal of the acts: the
// payments on the acts they performed and the sums paid over between colleagues, by day of receipt.
#include "common/DayNumber.h"
#include "common/FrenchText.h"
#include "store/SqlStore.h"
#include "store/Tables.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace obs {

namespace {

// The columns of an entry a line of the book needs, in this order, then (opening entries) its act's.
enum Col {
    NumJ,
    NumInt,
    Nature,
    RecuLe,
    Payeur,
    Beneficiaire,
    Mode,
    Montant,
    Ecrit,
    Performer,          // MEDACTE: recorded with the entry
    PerformerTakenOver, // MEDREPRISE: given by the upgrade to an older entry
    ActNumber,
    Nom,
    Prenom,
    Acte,
    ActDate,
    Medacte
};

bool isFeePayer(const QString& payer) {
    return payer == payerCode(Payer::Secu) || payer == payerCode(Payer::Complementary) ||
           payer == payerCode(Payer::Patient);
}

// Which side of the book an entry is on for this practitioner; nothing when it is none of theirs.
// A sum paid over between two spellings of the same practitioner is money that stayed with them.
std::optional<ReceiptSide> sideOf(const QString& practitioner, const QString& payer, const QString& payee,
                                  const QString& performer) {
    if (isFeePayer(payer)) {
        if (jetLike(practitioner, performer))
            return ReceiptSide::Fee;
        return std::nullopt;
    }
    const bool paid = jetLike(practitioner, payer);
    const bool received = jetLike(practitioner, payee);
    if (paid == received)
        return std::nullopt;
    return paid ? ReceiptSide::ReversalPaid : ReceiptSide::ReversalReceived;
}

Status damagedAmount(qint64 entry) {
    return Status::failure(StoreError::Failed,
                           QStringLiteral("Le montant de l'écriture n° %1 du journal est illisible : le livre des "
                                          "recettes ne peut pas être établi (obsledger-admin journal verify).")
                               .arg(entry));
}

// What an act shows on its lines.
struct ActShown {
    QString surname, firstName, label, performer;
    StoredDay date;
    bool found = false; // read among the acts
    bool deleted = false;
};

} // namespace

Status SqlStore::receipts(const QString& practitioner, const Period& period, ReceiptsBook* book,
                          JournalAnchor* anchor) {
    *book = {};
    if (anchor)
        *anchor = {};
    if (!m_hasJournal)
        return Status::success();
    auto j = [&](const char* column) { return QStringLiteral("j.") + n(column); };
    auto a = [&](const char* column) { return QStringLiteral("a.") + n(column); };
    // A journal not yet given the performer's columns reads as one whose entries have none.
    const QStringList entryColumns{j("NUMJ"),
                                   j("NUMINT"),
                                   j("NATURE"),
                                   j("RECULE"),
                                   j("PAYEUR"),
                                   j("BENEFICIAIRE"),
                                   j("MODE"),
                                   j("MONTANT"),
                                   j("ECRIT"),
                                   m_journalPerformer ? j("MEDACTE") : QStringLiteral("NULL"),
                                   m_journalPerformer ? j("MEDREPRISE") : QStringLiteral("NULL")};
    // The performer an entry was written for, or the one the upgrade gave it; empty when neither
    // (then the act's performer stands).
    auto recordedPerformer = [](const SqlRow& r) {
        return r.isNull(Performer) ? r.utf8(PerformerTakenOver) : r.utf8(Performer);
    };
    const QString payment = journalKindCode(JournalKind::Payment);
    const QString reversal = journalKindCode(JournalKind::ReversalPaid);
    const QByteArray paymentBytes = payment.toUtf8();
    const QByteArray pattern = practitioner.toUtf8();
    auto matches = [&](QByteArrayView name) {
        return jetLike(pattern.constData(), int(pattern.size()), name.data(), int(name.size()));
    };

    // A year's lines repeat the same names and labels: each is held once.
    TextPool pool;
    auto text = [&](const SqlRow& r, int column) {
        const QByteArrayView b = r.utf8(column);
        return pool.sharedUtf8(b.data(), b.size());
    };
    // The day an entry was written, in local time, from its UTC hour (worked out once an hour).
    std::unordered_map<std::string, StoredDay> writtenDays;
    auto writtenOn = [&](QByteArrayView written) {
        const std::string hour(written.data(), std::min<std::size_t>(13, std::size_t(written.size())));
        const auto known = writtenDays.find(hour);
        if (known != writtenDays.end())
            return known->second;
        const QDateTime t = QDateTime::fromString(
            QString::fromLatin1(hour.data(), qsizetype(hour.size())) + QStringLiteral(":00:00Z"), Qt::ISODate);
        const StoredDay day = t.isValid() ? StoredDay(dayNumberOf(t.toLocalTime().date())) : std::nullopt;
        writtenDays.emplace(hour, day);
        return day;
    };
    // The mode as stored, compared by its bytes.
    std::vector<std::pair<QByteArray, PaymentMode>> modes;
    for (const PaymentMode m : kPaymentModes)
        modes.emplace_back(paymentModeCode(m).toUtf8(), m);
    auto modeOf = [&](QByteArrayView stored) {
        for (const auto& [code, mode] : modes) {
            if (stored == QByteArrayView(code))
                return mode;
        }
        return PaymentMode::Other;
    };
    auto entryOf = [&](const SqlRow& r, ReceiptLine* l, Status* s) {
        l->entry = r.integer(NumJ).value_or(0);
        l->act = r.integer(NumInt).value_or(0);
        l->day = r.integer(RecuLe);
        l->payer = text(r, Payeur);
        l->payee = text(r, Beneficiaire);
        if (!r.isNull(Mode))
            l->mode = modeOf(r.utf8(Mode));
        const auto amount = r.money(Montant);
        if (!amount) {
            *s = damagedAmount(l->entry);
            return false;
        }
        l->amount = *amount;
        l->writtenOn = writtenOn(r.utf8(Ecrit));
        const QByteArrayView performer = recordedPerformer(r);
        l->performer = pool.sharedUtf8(performer.data(), performer.size());
        return true;
    };

    // One moment of the base: the acts and their entries as one change left them.
    Status s = m_db->beginReading();
    if (!s)
        return s;
    if (anchor) {
        JournalHead head;
        s = readHead(&head);
        if (!s) {
            m_db->rollback();
            return s;
        }
        anchor->number = head.number;
        anchor->hash = head.hash;
    }

    // The period's entries that are the practitioner's, from the journal's index of receipts:
    // payments on the acts they performed, or on acts deleted since (checked below against what
    // the act held), and the sums paid over naming them.
    std::vector<ReceiptLine> dated;
    QVariantList binds;
    auto take = [&](const SqlRow& r) {
        if (r.utf8(Nature) != QByteArrayView(paymentBytes) && !matches(r.utf8(Payeur)) &&
            !matches(r.utf8(Beneficiaire)))
            return true;
        ReceiptLine l;
        if (!entryOf(r, &l, &s))
            return false;
        dated.push_back(std::move(l));
        return true;
    };
    auto ofPeriod = [&](const QString& kinds) {
        binds << bound(period.firstDay) << bound(period.lastDay);
        return QStringLiteral("SELECT %1 FROM %2 j WHERE %3 BETWEEN ? AND ? AND %4 IN (%5)")
            .arg(entryColumns.join(QStringLiteral(", ")), n("JOURNAL"), j("RECULE"), j("NATURE"), kinds);
    };
    const QString payments = u'\'' + payment + u'\'';
    const QString reversals = u'\'' + reversal + u'\'';
    const QString deletedActs = QStringLiteral("SELECT d.%1 FROM %2 d WHERE d.%3 = '%4'")
                                    .arg(n("NUMINT"), n("JOURNAL"), n("NATURE"), journalKindCode(JournalKind::Deleted));
    Status read;
    if (m_sql.matchesInEngine()) {
        // A server matches the acts itself (the practitioner's acts hashed once from their index),
        // so that only the practitioner's lines travel.
        // A payment is the practitioner's when it was received for them (its recorded performer),
        // or, for an entry recorded without one, when they perform its act now.
        QString sql = ofPeriod(payments);
        if (m_journalPerformer) {
            sql += QStringLiteral(" AND (") +
                   m_sql.nameMatch(QStringLiteral("coalesce(%1, %2)").arg(j("MEDACTE"), j("MEDREPRISE")), practitioner,
                                   &binds, false) +
                   QStringLiteral(" OR (%1 IS NULL AND %2 IS NULL AND ").arg(j("MEDACTE"), j("MEDREPRISE"));
        } else {
            sql += QStringLiteral(" AND (");
        }
        sql += QStringLiteral("%1 IN (SELECT %2 FROM %3 a WHERE ").arg(j("NUMINT"), a("NUMINT"), n("ACTES"));
        sql += m_sql.nameMatch(a("MEDACTE"), practitioner, &binds, true) + u')';
        sql += m_journalPerformer ? QStringLiteral("))") : QStringLiteral(")");
        sql += QStringLiteral(" UNION ALL ") + ofPeriod(payments) +
               QStringLiteral(" AND %1 IN (%2)").arg(j("NUMINT"), deletedActs);
        sql += QStringLiteral(" UNION ALL ") + ofPeriod(reversals);
        read = m_db->run(sql, binds, take);
    } else {
        // On a file the program holds the practitioner's acts, one bit an act number (their
        // index alone), and the acts deleted since, then reads the period's entries once. A number
        // far from a clinic's 1, 2, 3... (an old register's random numbering) is held apart, so
        // that the bits stay a few megabytes.
        constexpr qint64 kBits = qint64(1) << 26;
        std::vector<bool> performed;
        std::unordered_set<qint64> performedApart;
        read =
            m_db->run(QStringLiteral("SELECT %1 FROM %2 a WHERE ").arg(a("NUMINT"), n("ACTES")) +
                          m_sql.nameMatch(a("MEDACTE"), practitioner, &binds, true),
                      binds, [&](const SqlRow& r) {
                          const qint64 act = r.integer(0).value_or(-1);
                          if (act < 0 || act >= kBits) {
                              performedApart.insert(act);
                          } else {
                              if (std::size_t(act) >= performed.size())
                                  performed.resize(std::max<std::size_t>(std::size_t(act) + 1, performed.size() * 2));
                              performed[act] = true;
                          }
                          return true;
                      });
        auto isPerformed = [&](qint64 act) {
            return act >= 0 && act < kBits ? std::size_t(act) < performed.size() && performed[act]
                                           : performedApart.count(act) > 0;
        };
        std::unordered_set<qint64> deleted;
        if (read)
            read = m_db->run(deletedActs, {}, [&](const SqlRow& r) {
                if (const auto act = r.integer(0))
                    deleted.insert(*act);
                return true;
            });
        binds.clear();
        if (read)
            read = m_db->run(ofPeriod(payments + u',' + reversals), binds, [&](const SqlRow& r) {
                const qint64 act = r.integer(NumInt).value_or(-1);
                if (r.utf8(Nature) == QByteArrayView(paymentBytes)) {
                    // Received for a practitioner named with the entry, or else for the act's.
                    const QByteArrayView performer = recordedPerformer(r);
                    if (!performer.isEmpty() ? !matches(performer) : !isPerformed(act) && !deleted.count(act))
                        return true;
                }
                return take(r);
            });
    }
    if (s)
        s = read;
    // In order of receipt, then of writing; an entry found by two ways (an act deleted then
    // brought back by a copy) comes once.
    std::sort(dated.begin(), dated.end(), [](const ReceiptLine& x, const ReceiptLine& y) {
        return std::tie(x.day, x.entry) < std::tie(y.day, y.entry);
    });
    dated.erase(std::unique(dated.begin(), dated.end(),
                            [](const ReceiptLine& x, const ReceiptLine& y) { return x.entry == y.entry; }),
                dated.end());

    // The acts of those lines as they stand, in one statement: the numbers bound as one list.
    std::unordered_map<qint64, ActShown> acts;
    std::vector<qint64> wanted;
    for (const ReceiptLine& l : dated) {
        if (acts.emplace(l.act, ActShown{}).second)
            wanted.push_back(l.act);
    }
    std::sort(wanted.begin(), wanted.end());
    if (s && !wanted.empty()) {
        binds.clear();
        s = m_db->run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7 WHERE ")
                              .arg(n("NUMINT"), n("Nom"), n("Prenom"), n("Acte"), n("Date"), n("MEDACTE"), n("ACTES")) +
                          m_sql.numberIn(n("NUMINT"), wanted, &binds),
                      binds, [&](const SqlRow& r) {
                          ActShown& shown = acts[r.integer(0).value_or(0)];
                          shown.surname = text(r, 1);
                          shown.firstName = text(r, 2);
                          shown.label = text(r, 3);
                          shown.date = r.day(4);
                          shown.performer = text(r, 5);
                          shown.found = true;
                          return true;
                      });
    }
    // Those not read are gone: marked so, then filled from their history below.
    for (auto& [act, shown] : acts)
        shown.deleted = !shown.found;

    // A deleted act stands as its history last left it: its deletion entry's values, or for an act
    // removed without one (outside the program), what its creation and changes wrote.
    for (auto& [act, shown] : acts) {
        if (!s)
            break;
        if (!shown.deleted)
            continue;
        QHash<QString, QString> last;
        s = readEntries(QStringLiteral("WHERE %1 = ?").arg(n("NUMINT")), {bound(act)}, [&](const JournalEntry& e) {
            const bool before = e.kind == JournalKind::Deleted;
            if (e.kind == JournalKind::Created || e.kind == JournalKind::Modified || before) {
                for (const ColumnChange& c : e.changes)
                    last[c.column] = (before ? c.before : c.after).value_or(QString());
            }
            return true;
        });
        shown.surname = last.value(QStringLiteral("Nom"));
        shown.firstName = last.value(QStringLiteral("Prenom"));
        shown.label = last.value(QStringLiteral("Acte"));
        shown.performer = last.value(QStringLiteral("MEDACTE"));
        bool ok = false;
        const qint64 day = last.value(QStringLiteral("Date")).toLongLong(&ok);
        shown.date = ok ? StoredDay(day) : std::nullopt;
    }

    // Opening entries of the acts of the period the practitioner performed or followed (what a
    // sum paid over to them was recorded on); none to look for in a base that never had any. One
    // seek a practitioner's index each: a condition joining the two by OR would read their whole
    // history. An act both performed and followed by them comes once.
    std::vector<std::pair<ReceiptLine, QString>> openings; // with the act's performer
    bool anyOpening = false;
    if (s)
        s = m_db->run(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = '%3' LIMIT 1")
                          .arg(n("JOURNAL"), n("NATURE"), journalKindCode(JournalKind::Opening)),
                      {}, [&](const SqlRow&) {
                          anyOpening = true;
                          return false;
                      });
    if (s && anyOpening) {
        const QString columns =
            (entryColumns + QStringList{a("NUMINT"), a("Nom"), a("Prenom"), a("Acte"), a("Date"), a("MEDACTE")})
                .join(QStringLiteral(", "));
        binds.clear();
        auto branch = [&](const QString& column, bool seek) {
            binds << bound(period.firstDay) << bound(period.lastDay);
            return QStringLiteral("SELECT %1 FROM %2 a JOIN %3 j ON %4 = %5 WHERE %6 BETWEEN ? AND ? AND ")
                       .arg(columns, n("ACTES"), n("JOURNAL"), j("NUMINT"), a("NUMINT"), a("Date")) +
                   m_sql.nameMatch(column, practitioner, &binds, seek) +
                   QStringLiteral(" AND %1 = '%2'").arg(j("NATURE"), journalKindCode(JournalKind::Opening));
        };
        QString sql = branch(a("MEDACTE"), true) + QStringLiteral(" UNION ") + branch(a("MEDSUIT"), true);
        // An opening entry recorded for a practitioner who no longer performs the act stays theirs.
        if (m_journalPerformer)
            sql += QStringLiteral(" UNION ") +
                   branch(QStringLiteral("coalesce(%1, %2)").arg(j("MEDACTE"), j("MEDREPRISE")), false);
        sql += QStringLiteral(" ORDER BY %1, %2").arg(ActNumber + 1).arg(NumJ + 1);
        const Status read = m_db->run(sql, binds, [&](const SqlRow& r) {
            ReceiptLine l;
            if (!entryOf(r, &l, &s))
                return false;
            l.surname = text(r, Nom);
            l.firstName = text(r, Prenom);
            l.actLabel = text(r, Acte);
            l.actDate = r.day(ActDate);
            openings.emplace_back(std::move(l), text(r, Medacte));
            return true;
        });
        if (s)
            s = read;
    }
    m_db->rollback();
    if (!s)
        return s;

    book->receipts.reserve(dated.size());
    for (ReceiptLine& l : dated) {
        const ActShown& shown = acts[l.act];
        const auto side = sideOf(practitioner, l.payer, l.payee, l.performer.isEmpty() ? shown.performer : l.performer);
        if (!side)
            continue;
        l.side = *side;
        l.surname = shown.surname;
        l.firstName = shown.firstName;
        l.actLabel = shown.label;
        l.actDate = shown.date;
        l.actDeleted = shown.deleted;
        (*side == ReceiptSide::ReversalPaid ? book->outgoings : book->receipts).push_back(std::move(l));
    }
    for (auto& [l, performer] : openings) {
        const auto side = sideOf(practitioner, l.payer, l.payee, l.performer.isEmpty() ? performer : l.performer);
        if (!side)
            continue;
        l.side = *side;
        book->openings.push_back(std::move(l));
    }
    return s;
}

} // namespace obs
