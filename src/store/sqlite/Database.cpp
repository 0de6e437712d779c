#include "store/sqlite/Database.h"

#include "common/AccessFile.h"
#include "common/PrivateFile.h"
#include "store/StatementLog.h"
#include "store/sqlite/Collation.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

namespace obs {

namespace {

// How a value is bound: numbers as numbers, anything else as its text, a null as no value.
enum class Bound { Null, Integer, Real, Text };
Bound boundAs(const QVariant& v) {
    if (v.isNull())
        return Bound::Null;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        return Bound::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return Bound::Real;
    default:
        return Bound::Text;
    }
}

void bindAll(SQLite::Statement& st, const QVariantList& binds) {
    if (statementLog())
        statementLog()(QString::fromStdString(st.getQuery()), binds);
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        const int pos = i + 1;
        switch (boundAs(v)) {
        case Bound::Null:
            st.bind(pos);
            break;
        case Bound::Integer:
            st.bind(pos, static_cast<int64_t>(v.toLongLong()));
            break;
        case Bound::Real:
            st.bind(pos, v.toDouble());
            break;
        case Bound::Text:
            st.bind(pos, v.toString().toStdString());
            break;
        }
    }
}

int bindOne(sqlite3_stmt* st, int pos, const QVariant& v) {
    const Bound kind = boundAs(v);
    if (kind == Bound::Null)
        return sqlite3_bind_null(st, pos);
    if (kind == Bound::Integer)
        return sqlite3_bind_int64(st, pos, v.toLongLong());
    if (kind == Bound::Real)
        return sqlite3_bind_double(st, pos, v.toDouble());
    const QByteArray text = v.toString().toUtf8();
    return sqlite3_bind_text(st, pos, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

Row readRow(SQLite::Statement& st, std::shared_ptr<const Columns>& columns) {
    const int n = st.getColumnCount();
    if (!columns) {
        QStringList names;
        for (int i = 0; i < n; ++i)
            names << QString::fromUtf8(st.getColumnName(i));
        columns = std::make_shared<Columns>(names);
    }
    QVector<QVariant> values;
    values.reserve(n);
    for (int i = 0; i < n; ++i) {
        const SQLite::Column c = st.getColumn(i);
        switch (c.getType()) {
        case SQLITE_INTEGER:
            values.append(QVariant::fromValue<qint64>(c.getInt64()));
            break;
        case SQLITE_FLOAT:
            values.append(c.getDouble());
            break;
        case SQLITE_TEXT:
            values.append(QString::fromUtf8(c.getText(), c.getBytes()));
            break;
        case SQLITE_BLOB:
            values.append(QByteArray(static_cast<const char*>(c.getBlob()), c.getBytes()));
            break;
        default:
            values.append(QVariant());
        }
    }
    return Row(columns, std::move(values));
}

Status fromException(const SQLite::Exception& e) {
    return Database::statusFromEngine(e.getErrorCode(), QString::fromUtf8(e.what()));
}

Status closedStatus() {
    return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
}

} // namespace

Database::~Database() = default;

Status Database::statusFromEngine(int code, const QString& detail) {
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Status::failure(
            StoreError::Locked,
            withEngineDetail(QStringLiteral("La base de données est occupée par un autre poste. Réessayez dans un "
                                            "instant."),
                             detail));
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return Status::failure(
            StoreError::ReadOnly,
            withEngineDetail(QStringLiteral("La base de données ne peut pas être modifiée : le fichier ou son "
                                            "dossier est en lecture seule."),
                             detail));
    case SQLITE_CANTOPEN:
        return Status::failure(
            StoreError::Unreadable,
            withEngineDetail(QStringLiteral("Le fichier de la base de données est introuvable ou inaccessible."),
                             detail));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return Status::failure(
            StoreError::Unreadable,
            withEngineDetail(QStringLiteral("Le fichier n'est pas une base de données lisible."), detail));
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return Status::failure(
            StoreError::Failed,
            withEngineDetail(QStringLiteral("Erreur de lecture ou d'écriture du fichier de la base de données "
                                            "(disque plein ou dossier réseau inaccessible)."),
                             detail));
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
        return Status::failure(
            StoreError::RefusedValue,
            withEngineDetail(QStringLiteral("Une valeur a été refusée par la base de données."), detail));
    default:
        return Status::failure(StoreError::Failed,
                               withEngineDetail(QStringLiteral("Erreur de la base de données."), detail));
    }
}

std::shared_ptr<Database> Database::openWithFlags(const QString& path, int flags, Status* status) {
    std::shared_ptr<Database> db(new Database());
    db->m_path = path;
    db->m_lockWaitMs = kBusyTimeoutMs;
    db->m_retryWithinMs = kBusyRetryMs;
    try {
        // A connection serves the one thread of the screens: SQLite need not lock it at every call
        // (a listing reads six columns of 50,000 acts, each read otherwise taking and releasing a mutex).
        db->m_db = std::make_unique<SQLite::Database>(path.toStdString(), flags | SQLITE_OPEN_NOMUTEX, kBusyTimeoutMs);
        if (!registerProgramFunctions(db->m_db->getHandle())) {
            if (status)
                *status = Status::failure(StoreError::Failed, QStringLiteral("Impossible de préparer la connexion."));
            return nullptr;
        }
        // Reading the schema makes a file that is not a database fail here, not later.
        SQLite::Statement mode(*db->m_db, "PRAGMA journal_mode");
        std::string journal = mode.executeStep() ? mode.getColumn(0).getString() : std::string();
        mode.reset();
        if (journal == "wal")
            db->m_db->exec("PRAGMA journal_mode=DELETE");
        db->m_db->exec("SELECT count(*) FROM sqlite_master");
        // 1 MB of pages: a listing reads each page once, and the search screen opens the file again
        // after each one, so a larger cache only held pages never read again (and the program's peak).
        db->m_db->exec("PRAGMA cache_size=-1024");
    } catch (const SQLite::Exception& e) {
        if (status)
            *status = fromException(e);
        return nullptr;
    }
    if (status)
        *status = Status::success();
    return db;
}

std::shared_ptr<Database> Database::open(const QString& path, Status* status) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        if (status)
            *status =
                Status::failure(StoreError::Unreadable,
                                QStringLiteral("Le fichier de la base de données est introuvable : %1").arg(path));
        return nullptr;
    }
    // The former register's Access file is no database of this engine, but it can be imported.
    if (isAccessDatabaseFile(path)) {
        if (status)
            *status = Status::failure(StoreError::Unreadable, formerRegisterMessage(path));
        return nullptr;
    }
    return openWithFlags(path, SQLite::OPEN_READWRITE, status);
}

std::shared_ptr<Database> Database::create(const QString& path, Status* status) {
    // The engine would create the file readable by every account (0644): it is made first with the
    // clinic's rights, and the engine's journals take the rights of the file.
    const bool inMemory =
        path.isEmpty() || path == QLatin1String(":memory:") || path.startsWith(QLatin1String("file:"));
    QString why;
    if (!inMemory && !createClinicFile(path, &why) && QFileInfo::exists(path)) {
        QFile::remove(path);
        if (status)
            *status = Status::failure(StoreError::Failed, why);
        return nullptr;
    }
    return openWithFlags(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, status);
}

void Database::close() {
    m_db.reset();
}

Status Database::queryRaw(const QString& sql, const QVariantList& binds, const std::function<bool(const Row&)>& each) {
    if (!m_db)
        return closedStatus();
    try {
        SQLite::Statement st(*m_db, sql.toStdString());
        bindAll(st, binds);
        std::shared_ptr<const Columns> columns;
        while (st.executeStep()) {
            if (!each(readRow(st, columns)))
                break;
        }
    } catch (const SQLite::Exception& e) {
        return fromException(e);
    }
    return Status::success();
}

Status Database::step(const QString& sql, const QVariantList& binds, const std::function<bool(sqlite3_stmt*)>& each,
                      qint64* changes) {
    if (!m_db)
        return closedStatus();
    sqlite3* handle = m_db->getHandle();
    const QByteArray text = sql.toUtf8();
    if (statementLog())
        statementLog()(sql, binds);
    return retryingWhileBusy([&](bool* handedOver) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &raw, nullptr);
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
        for (int i = 0; rc == SQLITE_OK && i < binds.size(); ++i)
            rc = bindOne(raw, i + 1, binds[i]);
        if (rc != SQLITE_OK)
            return statusFromEngine(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            *handedOver = true;
            if (!each(raw))
                break;
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return statusFromEngine(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
        if (changes)
            *changes = sqlite3_stmt_readonly(raw) ? 0 : sqlite3_changes(handle);
        return Status::success();
    });
}

Status Database::dataVersion(qint64* version) {
    if (!m_db)
        return closedStatus();
    sqlite3* handle = m_db->getHandle();
    // Only the file's header is read; a commit in progress elsewhere is not waited for.
    sqlite3_busy_timeout(handle, 0);
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(handle, "PRAGMA data_version", -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW)
        *version = sqlite3_column_int64(raw, 0);
    sqlite3_busy_timeout(handle, m_lockWaitMs);
    if (rc != SQLITE_ROW)
        return statusFromEngine(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
    return Status::success();
}

void Database::setLockWait(int waitMs, int retryWithinMs) {
    m_lockWaitMs = waitMs;
    m_retryWithinMs = retryWithinMs;
    if (m_db)
        sqlite3_busy_timeout(m_db->getHandle(), waitMs);
}

Status Database::retryingWhileBusy(const std::function<Status(bool* handedOver)>& run) {
    const QDeadlineTimer deadline(m_retryWithinMs);
    int pauseMs = 20;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) {
            // A random pause: two workstations that met do not meet again at the same instant.
            const qint64 left = deadline.remainingTime();
            QThread::msleep(quint64(qMin<qint64>(left, pauseMs + QRandomGenerator::global()->bounded(pauseMs))));
            pauseMs = qMin(pauseMs * 2, 400);
            // This try waits on the lock only for what is left of the whole time allowed.
            sqlite3_busy_timeout(m_db->getHandle(),
                                 int(qBound<qint64>(1, deadline.remainingTime(), qint64(m_lockWaitMs))));
        }
        bool handedOver = false;
        const Status s = run(&handedOver);
        if (attempt > 0 && m_db)
            sqlite3_busy_timeout(m_db->getHandle(), m_lockWaitMs);
        if (s.error != StoreError::Locked || handedOver || !m_db || m_retryWithinMs <= 0 ||
            !sqlite3_get_autocommit(m_db->getHandle()) || deadline.remainingTime() <= 0)
            return s;
    }
}

Status Database::query(const QString& sql, const std::function<bool(const Row&)>& each) {
    return queryRaw(sql, {}, each);
}

Status Database::queryRows(const QString& sql, std::vector<Row>* rows, int limit) {
    return query(sql, [&](const Row& r) {
        rows->push_back(r);
        return limit < 0 || int(rows->size()) < limit;
    });
}

Status Database::scalar(const QString& sql, QVariant* value, const QVariantList& binds) {
    *value = QVariant();
    return queryRaw(sql, binds, [&](const Row& r) {
        *value = r.values().value(0);
        return false;
    });
}

Status Database::executeRaw(const QString& sql, const QVariantList& binds, int* changes) {
    if (!m_db)
        return closedStatus();
    return retryingWhileBusy([&](bool*) {
        try {
            SQLite::Statement st(*m_db, sql.toStdString());
            bindAll(st, binds);
            const int n = st.exec();
            if (changes)
                *changes = n;
        } catch (const SQLite::Exception& e) {
            return fromException(e);
        }
        return Status::success();
    });
}

Status Database::executeMany(const QString& sql, const std::function<bool(QVariantList*)>& next) {
    if (!m_db)
        return closedStatus();
    try {
        SQLite::Statement st(*m_db, sql.toStdString());
        QVariantList binds;
        while (next(&binds)) {
            bindAll(st, binds);
            st.exec();
            st.reset();
            st.clearBindings();
            binds.clear();
        }
    } catch (const SQLite::Exception& e) {
        return fromException(e);
    }
    return Status::success();
}

Status Database::execute(const QString& sql, int* changes) {
    return executeRaw(sql, {}, changes);
}

Status Database::insert(const QString& table, const Fields& fields, qint64* rowid) {
    if (!m_db)
        return closedStatus();
    QStringList names, marks;
    QVariantList binds;
    for (const auto& [name, value] : fields) {
        names << u'"' + name + u'"';
        marks << QStringLiteral("?");
        binds << value;
    }
    const QString sql =
        fields.empty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u','), marks.join(u','));
    Status s = executeRaw(sql, binds);
    if (s && rowid)
        *rowid = m_db->getLastInsertRowid();
    return s;
}

Status Database::update(const QString& table, qint64 rowid, const Fields& fields) {
    if (fields.empty())
        return Status::success();
    QStringList sets;
    QVariantList binds;
    for (const auto& [name, value] : fields) {
        sets << u'"' + name + QStringLiteral("\"=?");
        binds << value;
    }
    binds << QVariant::fromValue<qint64>(rowid);
    int changes = 0;
    Status s =
        executeRaw(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(table, sets.join(u',')), binds, &changes);
    if (s && changes == 0)
        return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    return s;
}

Status Database::remove(const QString& table, qint64 rowid) {
    int changes = 0;
    Status s = executeRaw(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table),
                          {QVariant::fromValue<qint64>(rowid)}, &changes);
    if (s && changes == 0)
        return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    return s;
}

bool Database::hasProgramTables() {
    QVariant n;
    if (!scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND upper(name) IN "
                               "('ACTES','MEMO')"),
                &n))
        return false;
    return n.toLongLong() == 2;
}

} // namespace obs
