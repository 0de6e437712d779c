// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/BulkLoad.h"

#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Schema.h"

#include <QFile>

namespace obs {

const std::array<const char*, 8> kSummedActColumns = {"PRIX",   "DE",      "PAYESECU", "PAYECOMPLE",
                                                      "PAYEDE", "REVERSE", "Date",     "DateRev"};
const std::array<const char*, 7> kSummedEntryColumns = {"TARIFS", "MUT1", "MUT2", "MUT3", "MUT4", "MUT5", "MUT6"};

namespace {

QVariant dayValue(const StoredDay& d) {
    return d ? QVariant::fromValue<qint64>(*d) : QVariant();
}

QVariant integerValue(const std::optional<qint64>& n) {
    return n ? QVariant::fromValue<qint64>(*n) : QVariant();
}

// A text column is never left without a value: an empty text is what the screens write.
QVariant textValue(const QString& text) {
    return QVariant(text.isNull() ? QString(QLatin1String("")) : text);
}

Status writeRows(Database& db, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries) {
    size_t next = 0;
    Status s = db.executeMany(
        QStringLiteral("INSERT INTO ACTES (NUMINT, Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF, CCAM2, CCAM3, "
                       "CCAM4, CCAM5, CCAM6, PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev) VALUES "
                       "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        [&](QVariantList* binds) {
            if (next >= acts.size())
                return false;
            const Act& a = acts[next++];
            *binds << QVariant::fromValue<qint64>(a.number) << textValue(a.surname) << textValue(a.firstName)
                   << dayValue(a.date) << textValue(a.followedBy) << textValue(a.performedBy) << textValue(a.act)
                   << textValue(a.code) << textValue(a.nightOrHoliday);
            for (const QString& line : a.secondary)
                *binds << textValue(line);
            *binds << moneyValue(a.price) << moneyValue(a.excess) << moneyValue(a.paidSecu.value_or(Money()))
                   << moneyValue(a.paidComplementary.value_or(Money())) << moneyValue(a.paidExcess.value_or(Money()))
                   << moneyValue(a.reversed) << dayValue(a.reversalDate);
            return true;
        });
    if (!s)
        return s;
    next = 0;
    return db.executeMany(QStringLiteral("INSERT INTO MEMO (NUMEROS, TEXTE, CCAM, TARIFS, MUT1, MUT2, MUT3, MUT4, "
                                         "MUT5, MUT6, \"INDEX\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          [&](QVariantList* binds) {
                              if (next >= entries.size())
                                  return false;
                              const StoredEntry& e = entries[next++];
                              *binds << integerValue(e.list) << textValue(e.label) << textValue(e.code)
                                     << moneyValue(e.tariff);
                              for (const auto& m : e.excesses)
                                  *binds << moneyValue(m);
                              *binds << integerValue(e.index);
                              return true;
                          });
}

QString figuresSql(bool server) {
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

void takeFigures(const std::function<qint64(int)>& at, StoredFigures* f) {
    f->acts = at(0);
    f->entries = at(1);
    for (size_t i = 0; i < f->actSums.size(); ++i)
        f->actSums[i] = at(int(2 + i));
    for (size_t i = 0; i < f->entrySums.size(); ++i)
        f->entrySums[i] = at(int(2 + f->actSums.size() + i));
}

} // namespace

Status writeNewClinicFile(const QString& path, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries) {
    Status s;
    {
        auto db = Database::create(path, &s);
        if (!db)
            return s;
        // A scratch file, removed on any failure: no journal, no waiting on the disk.
        s = db->queryRaw(QStringLiteral("PRAGMA journal_mode=OFF"), {}, [](const Row&) { return false; });
        if (s)
            s = db->executeRaw(QStringLiteral("PRAGMA synchronous=OFF"));
        if (s)
            s = db->executeRaw(QStringLiteral("BEGIN"));
        if (s)
            s = createProgramTables(*db);
        if (s)
            s = createProgramIndexesAndTriggers(*db);
        if (s)
            s = writeRows(*db, acts, entries);
        if (s)
            s = db->executeRaw(QStringLiteral("COMMIT"));
    }
    if (!s)
        QFile::remove(path);
    return s;
}

Status readStoredFigures(const QString& location, StoredFigures* figures) {
    *figures = StoredFigures();
    Status s;
    if (isServerLocation(location)) {
        auto db = PgConnection::open(location.trimmed(), &s);
        if (!db)
            return s;
        s = db->script(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        if (s)
            s = db->exec(figuresSql(true), {}, [&](const PgRow& r) {
                takeFigures([&](int i) { return r.integer(i).value_or(0); }, figures);
                return false;
            });
        if (s)
            s = db->exec(QStringLiteral("SELECT numint FROM actes ORDER BY numint"), {}, [&](const PgRow& r) {
                figures->numbers.push_back(r.integer(0).value_or(0));
                return true;
            });
        if (s)
            s = db->script(QStringLiteral("COMMIT"));
        return s;
    }
    auto db = Database::open(location, &s);
    if (!db)
        return s;
    s = db->executeRaw(QStringLiteral("BEGIN"));
    if (s)
        s = db->queryRaw(figuresSql(false), {}, [&](const Row& r) {
            takeFigures([&](int i) { return r.values().value(i).toLongLong(); }, figures);
            return false;
        });
    if (s)
        s = db->queryRaw(QStringLiteral("SELECT NUMINT FROM ACTES ORDER BY NUMINT"), {}, [&](const Row& r) {
            figures->numbers.push_back(r.values().value(0).toLongLong());
            return true;
        });
    db->executeRaw(QStringLiteral("COMMIT"));
    return s;
}

} // namespace obs
