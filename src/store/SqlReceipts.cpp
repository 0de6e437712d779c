// SPDX-License-Identifier: GPL-3.0-or-later
// A practitioner's receipts book over either engine, read from the journal of the acts: the
// payments on the acts they performed and the sums paid over between colleagues, by day of receipt.
#include "common/DayNumber.h"
#include "common/FrenchText.h"
#include "store/SqlStore.h"
#include "store/Tables.h"

#include <QDateTime>
#include <QHash>

namespace obs {

namespace {

// The columns of an entry and of its act that a line of the book needs, in this order.
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

} // namespace

Status SqlStore::receipts(const QString& practitioner, const Period& period, ReceiptsBook* book) {
    *book = {};
    if (!m_hasJournal)
        return Status::success();
    auto j = [&](const char* column) { return QStringLiteral("j.") + n(column); };
    auto a = [&](const char* column) { return QStringLiteral("a.") + n(column); };
    const QString columns = QStringList{j("NUMJ"),         j("NUMINT"), j("NATURE"),  j("RECULE"), j("PAYEUR"),
                                        j("BENEFICIAIRE"), j("MODE"),   j("MONTANT"), j("ECRIT"),  a("NUMINT"),
                                        a("Nom"),          a("Prenom"), a("Acte"),    a("Date"),   a("MEDACTE")}
                                .join(QStringLiteral(", "));
    const QString payment = journalKindCode(JournalKind::Payment);
    const QString reversal = journalKindCode(JournalKind::ReversalPaid);

    // One moment of the base: the acts and their entries as one change left them.
    Status s = m_db->beginReading();
    if (!s)
        return s;

    struct Pending {
        ReceiptLine line;
        QString performer;
        bool deleted = false;
    };
    // A year's lines repeat the same names and labels: each is held once.
    TextPool pool;
    auto text = [&](const SqlRow& r, int column) {
        const QByteArrayView b = r.utf8(column);
        return pool.sharedUtf8(b.data(), b.size());
    };
    // The day an entry was written, in local time, from its UTC hour (looked up once an hour).
    QHash<QByteArray, StoredDay> writtenDays;
    auto writtenOn = [&](QByteArrayView written) {
        const QByteArray hour = written.first(std::min<qsizetype>(13, written.size())).toByteArray();
        const auto known = writtenDays.constFind(hour);
        if (known != writtenDays.constEnd())
            return *known;
        const QDateTime t = QDateTime::fromString(QString::fromLatin1(hour) + QStringLiteral(":00:00Z"), Qt::ISODate);
        const StoredDay day = t.isValid() ? StoredDay(dayNumberOf(t.toLocalTime().date())) : std::nullopt;
        writtenDays.insert(hour, day);
        return day;
    };
    std::vector<Pending> dated;
    auto take = [&](const SqlRow& r, std::vector<Pending>* into) {
        Pending p;
        ReceiptLine& l = p.line;
        l.entry = r.integer(NumJ).value_or(0);
        l.act = r.integer(NumInt).value_or(0);
        l.day = r.integer(RecuLe);
        l.payer = text(r, Payeur);
        l.payee = text(r, Beneficiaire);
        if (!r.isNull(Mode))
            l.mode = paymentModeOf(r.text(Mode)).value_or(PaymentMode::Other);
        const auto amount = r.money(Montant);
        if (!amount) {
            s = damagedAmount(l.entry);
            return false;
        }
        l.amount = *amount;
        l.writtenOn = writtenOn(r.utf8(Ecrit));
        p.deleted = r.isNull(ActNumber);
        l.actDeleted = p.deleted;
        l.surname = text(r, Nom);
        l.firstName = text(r, Prenom);
        l.actLabel = text(r, Acte);
        l.actDate = r.day(ActDate);
        p.performer = text(r, Medacte);
        into->push_back(std::move(p));
        return true;
    };

    // Dated entries of the period: the journal's index of receipts, each act read by its number.
    // An act deleted since keeps its entries: they are sorted out below, from its own history.
    QVariantList binds{bound(period.firstDay), bound(period.lastDay)};
    QString sql = QStringLiteral("SELECT %1 FROM %2 j LEFT JOIN %3 a ON %4 = %5 WHERE %6 BETWEEN ? AND ? AND %7 IN "
                                 "('%8', '%9') AND ((%7 = '%8' AND (%4 IS NULL OR ")
                      .arg(columns, n("JOURNAL"), n("ACTES"), a("NUMINT"), j("NUMINT"), j("RECULE"), j("NATURE"),
                           payment, reversal);
    sql += m_sql.nameMatch(a("MEDACTE"), practitioner, &binds, false);
    sql += QStringLiteral(")) OR (%1 = '%2' AND (").arg(j("NATURE"), reversal);
    sql += m_sql.nameMatch(j("PAYEUR"), practitioner, &binds, false) + QStringLiteral(" OR ") +
           m_sql.nameMatch(j("BENEFICIAIRE"), practitioner, &binds, false);
    sql += QStringLiteral("))) ORDER BY %1, %2").arg(j("RECULE"), j("NUMJ"));
    Status read = m_db->run(sql, binds, [&](const SqlRow& r) { return take(r, &dated); });
    if (s)
        s = read;

    // Opening entries of the acts of the period the practitioner performed or followed (what a
    // sum paid over to them was recorded on).
    std::vector<Pending> openings;
    if (s) {
        // One seek a practitioner's index each: a condition joining the two by OR would read their
        // whole history. An act both performed and followed by them comes once.
        binds.clear();
        auto branch = [&](const char* column) {
            binds << bound(period.firstDay) << bound(period.lastDay);
            return QStringLiteral("SELECT %1 FROM %2 a JOIN %3 j ON %4 = %5 WHERE %6 BETWEEN ? AND ? AND ")
                       .arg(columns, n("ACTES"), n("JOURNAL"), j("NUMINT"), a("NUMINT"), a("Date")) +
                   m_sql.nameMatch(a(column), practitioner, &binds, true) +
                   QStringLiteral(" AND %1 = '%2'").arg(j("NATURE"), journalKindCode(JournalKind::Opening));
        };
        sql = branch("MEDACTE") + QStringLiteral(" UNION ") + branch("MEDSUIT") +
              QStringLiteral(" ORDER BY %1, %2").arg(ActNumber + 1).arg(NumJ + 1);
        read = m_db->run(sql, binds, [&](const SqlRow& r) { return take(r, &openings); });
        if (s)
            s = read;
    }

    // A deleted act stands as its history last left it: its deletion entry's values, or for an act
    // removed without one (outside the program), what its creation and changes wrote.
    QHash<qint64, QHash<QString, QString>> gone;
    for (const Pending& p : dated) {
        if (!s)
            break;
        if (!p.deleted || gone.contains(p.line.act))
            continue;
        QHash<QString, QString>& last = gone[p.line.act];
        s = readEntries(QStringLiteral("WHERE %1 = ?").arg(n("NUMINT")), {bound(p.line.act)},
                        [&](const JournalEntry& e) {
                            const bool before = e.kind == JournalKind::Deleted;
                            for (const ColumnChange& c : e.changes) {
                                const auto& value = before ? c.before : c.after;
                                if (e.kind == JournalKind::Created || e.kind == JournalKind::Modified || before)
                                    last[c.column] = value.value_or(QString());
                            }
                            return true;
                        });
    }
    m_db->rollback();
    if (!s)
        return s;

    auto file = [&](Pending& p, bool opening) {
        if (p.deleted) {
            const auto& last = gone.value(p.line.act);
            p.performer = last.value(QStringLiteral("MEDACTE"));
            p.line.surname = last.value(QStringLiteral("Nom"));
            p.line.firstName = last.value(QStringLiteral("Prenom"));
            p.line.actLabel = last.value(QStringLiteral("Acte"));
            bool ok = false;
            const qint64 day = last.value(QStringLiteral("Date")).toLongLong(&ok);
            p.line.actDate = ok ? StoredDay(day) : std::nullopt;
        }
        const auto side = sideOf(practitioner, p.line.payer, p.line.payee, p.performer);
        if (!side)
            return;
        p.line.side = *side;
        if (opening)
            book->openings.push_back(std::move(p.line));
        else if (*side == ReceiptSide::ReversalPaid)
            book->outgoings.push_back(std::move(p.line));
        else
            book->receipts.push_back(std::move(p.line));
    };
    book->receipts.reserve(dated.size());
    for (Pending& p : dated)
        file(p, false);
    for (Pending& p : openings)
        file(p, true);
    return s;
}

} // namespace obs
