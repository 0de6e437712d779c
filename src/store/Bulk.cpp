// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Bulk.h"

#include "common/DayNumber.h"
#include "common/Money.h"
#include "store/BulkSide.h"
#include "store/Store.h"

#include <QFileInfo>
#include <cmath>

namespace obs {

const std::array<const char*, 8> kSummedActColumns = {"PRIX",   "DE",      "PAYESECU", "PAYECOMPLE",
                                                      "PAYEDE", "REVERSE", "Date",     "DateRev"};
const std::array<const char*, 7> kSummedEntryColumns = {"TARIFS", "MUT1", "MUT2", "MUT3", "MUT4", "MUT5", "MUT6"};

QString bulkColumnNames(bool acts, bool server) {
    QStringList out;
    auto add = [&](const BulkColumn& c) {
        const QString n = QString::fromLatin1(c.name);
        out << (n == QLatin1String("INDEX") ? (server ? QStringLiteral("\"index\"") : QStringLiteral("\"INDEX\""))
                                            : (server ? n.toLower() : n));
    };
    if (acts)
        for (const BulkColumn& c : kBulkActs)
            add(c);
    else
        for (const BulkColumn& c : kBulkMemo)
            add(c);
    return out.join(QStringLiteral(", "));
}

QString bulkJournalColumnNames(bool server) {
    QStringList out;
    for (const BulkColumn& c : kBulkJournal)
        out << (server ? QString::fromLatin1(c.name).toLower() : QString::fromLatin1(c.name));
    return out.join(QStringLiteral(", "));
}

JournalEntry journalEntryOfRow(const QVariantList& row) {
    auto integer = [&](int i) -> std::optional<qint64> {
        bool ok = false;
        const qint64 v = row.value(i).toLongLong(&ok);
        return row.value(i).isNull() || !ok ? std::nullopt : std::optional<qint64>(v);
    };
    auto text = [&](int i) { return row.value(i).isNull() ? QString() : row.value(i).toString(); };
    JournalEntry e;
    e.number = integer(0).value_or(0);
    e.writtenAt = text(1);
    e.act = integer(2);
    // As the store reads them: an unknown kind or mode keeps the hash from matching.
    e.kind = journalKindOf(text(3)).value_or(JournalKind::Modified);
    e.receivedOn = integer(4);
    e.payer = text(5);
    e.payee = text(6);
    if (!row.value(7).isNull())
        e.mode = paymentModeOf(text(7)).value_or(PaymentMode::Other);
    if (const auto units = integer(8))
        e.amount = Money::fromUnits(*units);
    e.changes = changesOf(text(9)).value_or(std::vector<ColumnChange>{{QStringLiteral("?"), text(9), {}}});
    e.workstation = text(10);
    e.user = text(11);
    e.hash = text(12);
    return e;
}

std::vector<JournalEntry> openingEntriesOf(const Act& a) {
    std::vector<JournalEntry> out;
    auto opening = [&](const std::optional<Money>& amount, const QString& payer, const QString& payee) {
        if (!amount || *amount == Money())
            return;
        JournalEntry e;
        e.kind = JournalKind::Opening;
        e.payer = payer;
        e.payee = payee;
        e.amount = amount;
        out.push_back(std::move(e));
    };
    opening(a.paidSecu, payerCode(Payer::Secu), {});
    opening(a.paidComplementary, payerCode(Payer::Complementary), {});
    opening(a.paidExcess, payerCode(Payer::Patient), {});
    opening(a.reversed, a.performedBy, a.followedBy);
    return out;
}

std::vector<JournalEntry> createdWithOpenings(const Act& a) {
    // The creation records the act as entered, before any money: what it holds comes after.
    Act entered = a;
    entered.paidSecu = entered.paidComplementary = entered.paidExcess = Money();
    entered.reversed = std::nullopt;
    entered.reversalDate = std::nullopt;
    JournalEntry created;
    created.kind = JournalKind::Created;
    created.changes = actChanges(std::nullopt, entered);
    std::vector<JournalEntry> out{std::move(created)};
    for (JournalEntry& e : openingEntriesOf(a))
        out.push_back(std::move(e));
    return out;
}

JournaledActSource journaledAsLoaded(ActSource acts) {
    if (!acts)
        return {};
    return [acts = std::move(acts)](Act* act, std::vector<JournalEntry>* entries) {
        if (!acts(act))
            return false;
        *entries = createdWithOpenings(*act);
        return true;
    };
}

QVariant normalisedBulkValue(const QVariant& v, BulkKind kind) {
    if (v.isNull())
        return QVariant();
    switch (kind) {
    case BulkKind::Text:
        return v.toString();
    case BulkKind::Day: {
        const StoredDay d = storedDayOf(v);
        return d ? QVariant::fromValue<qint64>(*d) : QVariant();
    }
    case BulkKind::Amount: {
        if (v.typeId() == QMetaType::QString) {
            const auto m = Money::parse(v.toString());
            return m ? QVariant::fromValue<qint64>(m->units()) : QVariant();
        }
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            return std::fabs(d) < 9.2e18 ? QVariant::fromValue<qint64>(std::llround(d)) : QVariant();
        }
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok ? QVariant::fromValue<qint64>(n) : QVariant();
    }
    case BulkKind::Number: {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok ? QVariant::fromValue<qint64>(n) : QVariant();
    }
    }
    return {};
}

QVariant bulkDay(const StoredDay& d) {
    return d ? QVariant::fromValue<qint64>(*d) : QVariant();
}

QVariant bulkInteger(const std::optional<qint64>& n) {
    return n ? QVariant::fromValue<qint64>(*n) : QVariant();
}

QVariant bulkMoney(const std::optional<Money>& m) {
    return m ? QVariant::fromValue<qint64>(m->units()) : QVariant();
}

QVariant bulkText(const QString& text) {
    return QVariant(text.isNull() ? QString(QLatin1String("")) : text);
}

void appendActValues(const Act& a, bool paymentsAsZero, QVariantList* binds) {
    *binds << bulkText(a.surname) << bulkText(a.firstName) << bulkDay(a.date) << bulkText(a.followedBy)
           << bulkText(a.performedBy) << bulkText(a.act) << bulkText(a.code) << bulkText(a.nightOrHoliday);
    for (const QString& line : a.secondary)
        *binds << bulkText(line);
    const auto paid = [&](const std::optional<Money>& m) {
        return paymentsAsZero ? std::optional<Money>(m.value_or(Money())) : m;
    };
    *binds << bulkMoney(a.price) << bulkMoney(a.excess) << bulkMoney(paid(a.paidSecu))
           << bulkMoney(paid(a.paidComplementary)) << bulkMoney(paid(a.paidExcess)) << bulkMoney(a.reversed)
           << bulkDay(a.reversalDate);
}

void appendEntryValues(const ReferenceEntry& e, QVariantList* binds) {
    *binds << int(e.list) << e.label << (e.code.isNull() ? QVariant() : QVariant(e.code)) << bulkMoney(e.tariff);
    for (const auto& m : e.excesses)
        *binds << bulkMoney(m);
}

QString storedFiguresSql(bool server) {
    QStringList sums;
    for (const char* c : kSummedActColumns)
        sums << QStringLiteral("(SELECT coalesce(sum(%1), 0) FROM %2)")
                    .arg(server ? QString::fromLatin1(c).toLower() : QString::fromLatin1(c),
                         server ? QStringLiteral("actes") : QStringLiteral("ACTES"));
    for (const char* c : kSummedEntryColumns)
        sums << QStringLiteral("(SELECT coalesce(sum(%1), 0) FROM %2)")
                    .arg(server ? QString::fromLatin1(c).toLower() : QString::fromLatin1(c),
                         server ? QStringLiteral("memo") : QStringLiteral("MEMO"));
    return QStringLiteral("SELECT (SELECT count(*) FROM ACTES), (SELECT count(*) FROM MEMO), ") +
           sums.join(QStringLiteral(", "));
}

void takeStoredFigures(const std::function<qint64(int column)>& at, StoredFigures* f) {
    f->acts = at(0);
    f->entries = at(1);
    for (size_t i = 0; i < f->actSums.size(); ++i)
        f->actSums[i] = at(int(2 + i));
    for (size_t i = 0; i < f->entrySums.size(); ++i)
        f->entrySums[i] = at(int(2 + f->actSums.size() + i));
}

QString copyTotalsSql(bool server) {
    const QString sql = QStringLiteral(
        "SELECT (SELECT count(*) FROM %1), (SELECT count(*) FROM %2), (SELECT coalesce(sum(%3), 0) FROM %1), (SELECT "
        "coalesce(sum(%4), 0) FROM %1), (SELECT coalesce(sum(%5) + sum(%6) + sum(%7), 0) FROM %1)");
    return server ? sql.arg("actes", "memo", "prix", "reverse", "payesecu", "payecomple", "payede")
                  : sql.arg("ACTES", "MEMO", "PRIX", "REVERSE", "PAYESECU", "PAYECOMPLE", "PAYEDE");
}

namespace {

QString totalsText(const ClinicTotals& t) {
    return QStringLiteral("%1 actes, %2 items, prix %3, reversé %4, payé %5")
        .arg(t.acts)
        .arg(t.entries)
        .arg(Money::fromUnits(t.prices).toFrench(), Money::fromUnits(t.reversed).toFrench(),
             Money::fromUnits(t.paid).toFrench());
}

Status failed(const QString& why) {
    return Status::failure(StoreError::Failed, why);
}

} // namespace

Status copyBase(const QString& from, const QString& to, bool replace, ClinicTotals* totals, bool brokenJournal) {
    // Copying a base onto itself would empty it.
    if (describeLocation(from.trimmed()) == describeLocation(to.trimmed()) ||
        (!isServerLocation(from) && !isServerLocation(to) &&
         QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath() && QFileInfo::exists(to)))
        return failed(QStringLiteral("La source et la destination sont la même base : rien n'a été copié."));
    Status s;
    auto source = openBulkSide(from, false, &s);
    if (!source)
        return failed(QStringLiteral("Source illisible : %1").arg(s.message));
    auto dest = openBulkSide(to, true, &s);
    if (!dest)
        return failed(QStringLiteral("Destination inutilisable : %1").arg(s.message));
    qint64 held = 0;
    if (!(s = dest->actCount(&held)))
        return s;
    if (held > 0 && !replace)
        return failed(QStringLiteral("La destination %1 contient déjà %2 actes : rien n'a été copié (--replace pour la "
                                     "remplacer).")
                          .arg(describeLocation(to))
                          .arg(held));
    const bool journaled = source->hasJournal();
    JournalVerifier verifier;
    JournalCheck check;
    qint64 headNumber = 0;
    QString headHash;
    s = source->beginRead();
    if (s)
        s = dest->beginWrite();
    if (s)
        s = source->read(true, [&](const QVariantList& row) { return dest->write(true, row); });
    if (s)
        s = source->read(false, [&](const QVariantList& row) { return dest->write(false, row); });
    // The journal goes as it stands, each entry checked as it passes: a broken chain is not
    // carried into another base as if it were sound.
    if (s && journaled)
        s = source->readJournal(
            [&](const QVariantList& row) {
                if (check.intact && !verifier.add(journalEntryOfRow(row)))
                    check = verifier.finish(0, QString());
                if (!check.intact && !brokenJournal)
                    return Status::failure(StoreError::Failed, check.problem);
                return dest->writeJournal(row);
            },
            &headNumber, &headHash);
    if (s && journaled) {
        if (check.intact)
            check = verifier.finish(headNumber, headHash);
        if (!check.intact && !brokenJournal)
            s = Status::failure(StoreError::Failed, check.problem);
    }
    if (s && journaled)
        s = dest->writeJournalHead(headNumber, headHash);
    qint64 opened = 0;
    if (s && !journaled)
        s = dest->openJournal(&opened);
    ClinicTotals a, b;
    if (s)
        s = source->totals(&a);
    if (s)
        s = source->endRead();
    if (s)
        s = dest->commit();
    if (!s) {
        dest->rollback();
        if (journaled && !check.intact && !brokenJournal)
            return failed(QStringLiteral("Le journal des actes de la source est altéré : %1 Rien n'a été copié, la "
                                         "destination est inchangée (obsledger-admin journal verify %2).")
                              .arg(check.problem, describeLocation(from)));
        QString why = QStringLiteral("La copie a échoué, la destination est inchangée : %1").arg(s.message);
        // A base made by an earlier version does not let the workstations set its numbers.
        if (isServerLocation(to) && s.error == StoreError::ReadOnly)
            why += QStringLiteral("\nSi la base a été créée par une version antérieure, son propriétaire lui donne "
                                  "les droits de celle-ci : obsledger-admin upgrade ADRESSE.");
        return Status::failure(s.error, why);
    }
    if (!(s = dest->totals(&b)) || !(a == b))
        return failed(QStringLiteral("La copie ne correspond pas à la source : source %1 ; destination %2")
                          .arg(totalsText(a), s ? totalsText(b) : s.message));
    if (totals)
        *totals = b;
    return Status::success();
}

Status checkJournalOf(const QString& location, JournalCheck* check) {
    JournalCheck found;
    Status s;
    const std::shared_ptr<Store> store = Store::open(location, &s);
    if (!store)
        return s;
    if (store->journal().present() && (s = store->journal().verify(&found)) && !found.intact)
        s = failed(QStringLiteral("Le journal des actes de %1 est altéré : %2")
                       .arg(describeLocation(location), found.problem));
    if (!store->journal().present()) {
        found.intact = true;
        found.problem = QStringLiteral("la base n'a pas de journal.");
    }
    if (check)
        *check = found;
    return s;
}

} // namespace obs
