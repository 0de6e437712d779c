// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ClinicCopy.h"

#include "common/DayNumber.h"
#include "common/Money.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Schema.h"

#include <QFileInfo>
#include <cmath>

namespace obs {

namespace {

enum class Kind { Text, Amount, Day, Number };
struct Column {
    const char* name;
    Kind kind;
};

const Column kActs[] = {{"NUMINT", Kind::Number}, {"Nom", Kind::Text},        {"Prenom", Kind::Text},
                        {"Date", Kind::Day},      {"MEDSUIT", Kind::Text},    {"MEDACTE", Kind::Text},
                        {"Acte", Kind::Text},     {"CCAM1", Kind::Text},      {"NF", Kind::Text},
                        {"CCAM2", Kind::Text},    {"CCAM3", Kind::Text},      {"CCAM4", Kind::Text},
                        {"CCAM5", Kind::Text},    {"CCAM6", Kind::Text},      {"PRIX", Kind::Amount},
                        {"DE", Kind::Amount},     {"PAYESECU", Kind::Amount}, {"PAYECOMPLE", Kind::Amount},
                        {"PAYEDE", Kind::Amount}, {"REVERSE", Kind::Amount},  {"DateRev", Kind::Day}};
const Column kMemo[] = {{"NUMEROS", Kind::Number}, {"TEXTE", Kind::Text},  {"CCAM", Kind::Text},
                        {"TARIFS", Kind::Amount},  {"MUT1", Kind::Amount}, {"MUT2", Kind::Amount},
                        {"MUT3", Kind::Amount},    {"MUT4", Kind::Amount}, {"MUT5", Kind::Amount},
                        {"MUT6", Kind::Amount},    {"INDEX", Kind::Number}};

template <size_t N> QString names(const Column (&cols)[N], bool server) {
    QStringList out;
    for (const Column& c : cols) {
        const QString n = QString::fromLatin1(c.name);
        out << (n == QLatin1String("INDEX") ? (server ? QStringLiteral("\"index\"") : QStringLiteral("\"INDEX\""))
                                            : (server ? n.toLower() : n));
    }
    return out.join(QStringLiteral(", "));
}

// A stored value as the program reads it: a damaged number or date becomes nothing, as the screens
// show it, rather than stopping the copy. Texts stay as they are; a missing name is empty.
QVariant normalised(const QVariant& v, Kind kind) {
    if (v.isNull())
        return kind == Kind::Text ? QVariant() : QVariant();
    switch (kind) {
    case Kind::Text:
        return v.toString();
    case Kind::Day: {
        const StoredDay d = storedDayOf(v);
        return d ? QVariant::fromValue<qint64>(*d) : QVariant();
    }
    case Kind::Amount: {
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
    case Kind::Number: {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok ? QVariant::fromValue<qint64>(n) : QVariant();
    }
    }
    return {};
}

using RowSink = std::function<Status(const QVariantList&)>;

// One side of a copy.
class Side {
public:
    virtual ~Side() = default;
    virtual Status beginRead() = 0;
    virtual Status read(bool acts, const RowSink& each) = 0;
    virtual Status endRead() = 0;
    virtual Status actCount(qint64* n) = 0;
    virtual Status beginWrite() = 0;
    virtual Status write(bool acts, const QVariantList& row) = 0;
    virtual Status commit() = 0;
    virtual void rollback() = 0;
    virtual Status totals(ClinicTotals* t) = 0;
};

const char* const kTotalsSql = "SELECT (SELECT count(*) FROM %1), (SELECT count(*) FROM %2), (SELECT coalesce(sum(%3), "
                               "0) FROM %1), (SELECT coalesce(sum(%4), 0) FROM %1), (SELECT coalesce(sum(%5) + "
                               "sum(%6) + sum(%7), 0) FROM %1)";

class FileSide final : public Side {
public:
    explicit FileSide(std::shared_ptr<Database> db) : m_db(std::move(db)) {}
    Status beginRead() override { return m_db->executeRaw(QStringLiteral("BEGIN")); }
    Status endRead() override { return m_db->executeRaw(QStringLiteral("COMMIT")); }
    Status read(bool acts, const RowSink& each) override {
        const QString sql = acts ? QStringLiteral("SELECT %1 FROM ACTES ORDER BY NUMINT").arg(names(kActs, false))
                                 : QStringLiteral("SELECT %1 FROM MEMO ORDER BY rowid").arg(names(kMemo, false));
        Status inner;
        Status s = m_db->queryRaw(sql, {}, [&](const Row& r) {
            QVariantList row;
            const auto& values = r.values();
            for (int i = 0; i < values.size(); ++i)
                row << normalised(values[i], acts ? kActs[i].kind : kMemo[i].kind);
            inner = each(row);
            return inner.ok();
        });
        return s ? inner : s;
    }
    Status actCount(qint64* n) override {
        QVariant v;
        Status s = m_db->scalar(QStringLiteral("SELECT count(*) FROM ACTES"), &v);
        *n = v.toLongLong();
        return s;
    }
    Status beginWrite() override {
        Status s = m_db->executeRaw(QStringLiteral("BEGIN IMMEDIATE"));
        if (s)
            s = m_db->executeRaw(QStringLiteral("DELETE FROM ACTES"));
        if (s)
            s = m_db->executeRaw(QStringLiteral("DELETE FROM MEMO"));
        return s;
    }
    Status write(bool acts, const QVariantList& row) override {
        const QString marks = QStringLiteral("?, ").repeated(int(row.size()) - 1) + u'?';
        return m_db->executeRaw(
            acts ? QStringLiteral("INSERT INTO ACTES (%1) VALUES (%2)").arg(names(kActs, false), marks)
                 : QStringLiteral("INSERT INTO MEMO (%1) VALUES (%2)").arg(names(kMemo, false), marks),
            row);
    }
    // The planner's figures describe the rows brought in, not those replaced.
    Status commit() override {
        Status s = refreshStatistics(*m_db);
        return s ? m_db->executeRaw(QStringLiteral("COMMIT")) : s;
    }
    void rollback() override { m_db->executeRaw(QStringLiteral("ROLLBACK")); }
    Status totals(ClinicTotals* t) override {
        return m_db->queryRaw(
            QString::fromLatin1(kTotalsSql).arg("ACTES", "MEMO", "PRIX", "REVERSE", "PAYESECU", "PAYECOMPLE", "PAYEDE"),
            {}, [&](const Row& r) {
                const auto& v = r.values();
                *t = {v[0].toLongLong(), v[1].toLongLong(), v[2].toLongLong(), v[3].toLongLong(), v[4].toLongLong()};
                return false;
            });
    }

private:
    std::shared_ptr<Database> m_db;
};

class ServerSide final : public Side {
public:
    explicit ServerSide(std::unique_ptr<PgConnection> db) : m_db(std::move(db)) {}
    // One snapshot of both tables, however long the copy takes.
    Status beginRead() override {
        return m_db->script(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL "
                                           "statement_timeout = 0"));
    }
    Status endRead() override { return m_db->script(QStringLiteral("COMMIT")); }
    Status read(bool acts, const RowSink& each) override {
        const QString sql = acts ? QStringLiteral("SELECT %1 FROM actes ORDER BY numint").arg(names(kActs, true))
                                 : QStringLiteral("SELECT %1 FROM memo ORDER BY id").arg(names(kMemo, true));
        Status s = m_db->script(QStringLiteral("DECLARE copie NO SCROLL CURSOR FOR ") + sql);
        while (s) {
            int rows = 0;
            Status inner;
            s = m_db->exec(QStringLiteral("FETCH 5000 FROM copie"), {}, [&](const PgRow& r) {
                ++rows;
                QVariantList row;
                for (int i = 0; i < r.columns(); ++i) {
                    const Kind k = acts ? kActs[i].kind : kMemo[i].kind;
                    row << (r.isNull(i)       ? QVariant()
                            : k == Kind::Text ? QVariant(r.text(i))
                                              : QVariant::fromValue<qint64>(r.integer(i).value_or(0)));
                }
                inner = each(row);
                return inner.ok();
            });
            if (s && !inner)
                s = inner;
            if (!s || rows == 0)
                break;
        }
        if (s)
            s = m_db->script(QStringLiteral("CLOSE copie"));
        return s;
    }
    Status actCount(qint64* n) override {
        return m_db->exec(QStringLiteral("SELECT count(*) FROM actes"), {}, [&](const PgRow& r) {
            *n = r.integer(0).value_or(0);
            return false;
        });
    }
    Status beginWrite() override {
        return m_db->script(
            QStringLiteral("BEGIN; SET LOCAL statement_timeout = 0; DELETE FROM actes; DELETE FROM memo"));
    }
    Status write(bool acts, const QVariantList& row) override {
        // Rows go in batches: one statement for many rows, far fewer round trips.
        auto& batch = acts ? m_acts : m_memo;
        batch << row;
        if (batch.size() >= 21 * 1000)
            return flush(acts);
        return Status::success();
    }
    Status commit() override {
        Status s = flush(true);
        if (s)
            s = flush(false);
        // The next act and entry take numbers after the copied ones, and never a number already
        // given out before the copy (the file engine keeps its highest number the same way).
        if (s)
            s = m_db->script(QStringLiteral("%1; %2; COMMIT")
                                 .arg(nextNumberPast("actes_numint_seq", "numint", "actes"),
                                      nextNumberPast("memo_id_seq", "id", "memo")));
        if (s)
            analyse();
        return s;
    }
    void rollback() override { m_db->script(QStringLiteral("ROLLBACK")); }
    Status totals(ClinicTotals* t) override {
        return m_db->exec(
            QString::fromLatin1(kTotalsSql).arg("actes", "memo", "prix", "reverse", "payesecu", "payecomple", "payede"),
            {}, [&](const PgRow& r) {
                *t = {r.integer(0).value_or(0), r.integer(1).value_or(0), r.integer(2).value_or(0),
                      r.integer(3).value_or(0), r.integer(4).value_or(0)};
                return false;
            });
    }

private:
    static QString nextNumberPast(const char* sequence, const char* column, const char* table) {
        return QStringLiteral("SELECT setval('%1', greatest(coalesce((SELECT max(%2) FROM %3), 0) + 1, (SELECT CASE "
                              "WHEN is_called THEN last_value + 1 ELSE last_value END FROM %1)), false)")
            .arg(QString::fromLatin1(sequence), QString::fromLatin1(column), QString::fromLatin1(table));
    }

    // The planner's statistics describe the rows just brought in at once, rather than once the
    // server gets round to it: the first listings are planned on them. Through the function the
    // tables' owner made for it (ANALYZE is the owner's right); a base made before it had one is
    // analysed directly, which only its owner may do. A failure here leaves the copy as it is.
    void analyse() {
        bool owned = false;
        m_db->exec(QStringLiteral("SELECT to_regprocedure('obs_analyse()') IS NOT NULL"), {}, [&](const PgRow& r) {
            owned = r.text(0) == QLatin1String("t");
            return false;
        });
        if (!m_db->script(
                QStringLiteral("BEGIN; SET LOCAL statement_timeout = 0; %1; COMMIT")
                    .arg(owned ? QStringLiteral("SELECT obs_analyse()") : QStringLiteral("ANALYZE actes, memo"))))
            m_db->script(QStringLiteral("ROLLBACK"));
    }

    Status flush(bool acts) {
        auto& batch = acts ? m_acts : m_memo;
        if (batch.isEmpty())
            return Status::success();
        const int width = acts ? int(std::size(kActs)) : int(std::size(kMemo)) + 1; // memo rows lead with their id
        QStringList tuples;
        const QString one = u'(' + QStringLiteral("?, ").repeated(width - 1) + QStringLiteral("?)");
        for (int i = 0; i < batch.size() / width; ++i)
            tuples << one;
        // The memo rows keep their order of entry through id, given in order.
        const QString sql = acts ? QStringLiteral("INSERT INTO actes (%1) VALUES %2")
                                       .arg(names(kActs, true), tuples.join(QStringLiteral(", ")))
                                 : QStringLiteral("INSERT INTO memo (id, %1) VALUES %2")
                                       .arg(names(kMemo, true), tuples.join(QStringLiteral(", ")));
        const Status s = m_db->exec(sql, batch);
        batch.clear();
        return s;
    }
    std::unique_ptr<PgConnection> m_db;
    QVariantList m_acts;
    QVariantList m_memo;
};

std::unique_ptr<Side> openSide(const QString& location, bool create, Status* s) {
    if (isServerLocation(location)) {
        auto db = PgConnection::open(location.trimmed(), s);
        if (!db)
            return nullptr;
        if (Status t = checkServerTables(*db); !t) {
            *s = Status::failure(
                StoreError::Unreadable,
                QStringLiteral("la base %1 n'a pas les tables d'Obsledger (obsledger-admin init)").arg(db->location()));
            return nullptr;
        }
        return std::make_unique<ServerSide>(std::move(db));
    }
    std::shared_ptr<Database> db;
    if (create && !QFileInfo::exists(location)) {
        db = Database::create(location, s);
        if (db)
            *s = createSchema(*db);
        if (!db || !*s)
            return nullptr;
    } else {
        db = Database::open(location, s);
        if (!db)
            return nullptr;
        if (!db->hasProgramTables()) {
            *s = Status::failure(StoreError::Unreadable,
                                 QStringLiteral("le fichier %1 n'a pas les tables d'Obsledger").arg(location));
            return nullptr;
        }
    }
    return std::make_unique<FileSide>(std::move(db));
}

QString totalsText(const ClinicTotals& t) {
    return QStringLiteral("%1 actes, %2 items, prix %3, reversé %4, payé %5")
        .arg(t.acts)
        .arg(t.entries)
        .arg(Money::fromUnits(t.prices).toFrench(), Money::fromUnits(t.reversed).toFrench(),
             Money::fromUnits(t.paid).toFrench());
}

} // namespace

bool copyClinic(const QString& from, const QString& to, bool replace, QString* why, ClinicTotals* totals) {
    // Copying a database onto itself would empty it.
    if (describeLocation(from.trimmed()) == describeLocation(to.trimmed()) ||
        (!isServerLocation(from) && !isServerLocation(to) &&
         QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath() && QFileInfo::exists(to))) {
        *why = QStringLiteral("La source et la destination sont la même base : rien n'a été copié.");
        return false;
    }
    Status s;
    auto source = openSide(from, false, &s);
    if (!source) {
        *why = QStringLiteral("Source illisible : %1").arg(s.message);
        return false;
    }
    auto dest = openSide(to, true, &s);
    if (!dest) {
        *why = QStringLiteral("Destination inutilisable : %1").arg(s.message);
        return false;
    }
    qint64 held = 0;
    if (!(s = dest->actCount(&held))) {
        *why = s.message;
        return false;
    }
    if (held > 0 && !replace) {
        *why = QStringLiteral("La destination %1 contient déjà %2 actes : rien n'a été copié (--replace pour la "
                              "remplacer).")
                   .arg(describeLocation(to))
                   .arg(held);
        return false;
    }
    // Memo ids on a server follow the order of entry of the source.
    qint64 memoId = 0;
    const bool serverDest = isServerLocation(to);
    s = source->beginRead();
    if (s)
        s = dest->beginWrite();
    if (s)
        s = source->read(true, [&](const QVariantList& row) { return dest->write(true, row); });
    if (s)
        s = source->read(false, [&](const QVariantList& row) {
            if (!serverDest)
                return dest->write(false, row);
            return dest->write(false, QVariantList{QVariant::fromValue<qint64>(++memoId)} + row);
        });
    ClinicTotals a, b;
    if (s)
        s = source->totals(&a);
    if (s)
        s = source->endRead();
    if (s)
        s = dest->commit();
    if (!s) {
        dest->rollback();
        *why = QStringLiteral("La copie a échoué, la destination est inchangée : %1").arg(s.message);
        // A base made by an earlier version does not let the workstations set its numbers.
        if (serverDest && s.error == StoreError::ReadOnly)
            *why += QStringLiteral("\nSi la base a été créée par une version antérieure, son propriétaire lui donne "
                                   "les droits de celle-ci : obsledger-admin upgrade ADRESSE.");
        return false;
    }
    if (!(s = dest->totals(&b)) || !(a == b)) {
        *why = QStringLiteral("La copie ne correspond pas à la source : source %1 ; destination %2")
                   .arg(totalsText(a), s ? totalsText(b) : s.message);
        return false;
    }
    if (totals)
        *totals = b;
    return true;
}

} // namespace obs
