// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgConnection.h"

#include "store/StatementLog.h"

#include <libpq-fe.h>

#include <vector>

namespace obs {

int PgRow::columns() const {
    return PQnfields(m_result);
}

bool PgRow::isNull(int column) const {
    return PQgetisnull(m_result, m_row, column);
}

QByteArrayView PgRow::utf8(int column) const {
    return QByteArrayView(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
}

std::optional<Money> PgRow::money(int column) const {
    const auto v = integer(column);
    return v ? Money::fromStored(*v) : std::nullopt;
}

std::optional<qint64> PgRow::integer(int column) const {
    if (isNull(column))
        return std::nullopt;
    // Sums come back as numeric: digits only, since every stored amount is whole.
    bool ok = false;
    const qint64 v = QByteArray(PQgetvalue(m_result, m_row, column)).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

namespace {

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The store writes its statements with ? marks, as for the file engine; the server numbers them.
QByteArray numbered(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 16);
    int n = 0;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        if (c == u'?' && !quoted)
            out += QStringLiteral("$%1").arg(++n);
        else
            out += c;
    }
    return out.toUtf8();
}

QString serverMessage(PGconn* conn) {
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

} // namespace

QString PgConnection::describe(const QString& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        if (error)
            PQfreemem(error);
        return QStringLiteral("(adresse de serveur illisible)");
    }
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        const QByteArray key(o->keyword);
        // Secrets never appear in a message.
        if (key == "password" || key == "sslpassword" || key == "sslkey")
            continue;
        if (key == "host" || key == "hostaddr" || key == "port" || key == "dbname" || key == "user" ||
            key == "service" || key == "sslmode")
            parts << QStringLiteral("%1=%2").arg(QString::fromUtf8(key), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return parts.isEmpty() ? QStringLiteral("(serveur par défaut)") : parts.join(u' ');
}

bool PgConnection::hasPassword(const QString& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        if (error)
            PQfreemem(error);
        return false;
    }
    bool found = false;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        found = found || (QByteArray(o->keyword) == "password" && o->val && *o->val);
    PQconninfoFree(options);
    return found;
}

std::unique_ptr<PgConnection> PgConnection::open(const QString& conninfo, Status* status) {
    std::unique_ptr<PgConnection> c(new PgConnection());
    c->m_described = describe(conninfo);
    const QByteArray info = conninfo.toUtf8();
    // Keywords before "dbname" are defaults the string may override: TLS when the server offers it,
    // a bounded wait for an unreachable server.
    std::vector<const char*> keys;
    std::vector<const char*> values;
    if (qEnvironmentVariableIsEmpty("PGSSLMODE")) {
        keys.push_back("sslmode");
        values.push_back("prefer");
    }
    if (qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT")) {
        keys.push_back("connect_timeout");
        values.push_back("5");
    }
    keys.push_back("application_name");
    values.push_back("obsledger");
    keys.push_back("dbname");
    values.push_back(info.constData());
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back(nullptr);
    values.push_back(nullptr);
    c->m_conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!c->m_conn || PQstatus(c->m_conn) != CONNECTION_OK) {
        const QString why = c->m_conn ? serverMessage(c->m_conn) : QStringLiteral("mémoire insuffisante");
        *status = Status::failure(
            StoreError::Unreadable,
            withEngineDetail(QStringLiteral("Le serveur de la base de données (%1) est inaccessible ou refuse la "
                                            "connexion.")
                                 .arg(c->m_described),
                             why));
        return nullptr;
    }
    *status = c->script(QStringLiteral("SET lock_timeout = %1; SET statement_timeout = %2")
                            .arg(kServerLockTimeoutMs)
                            .arg(kServerStatementTimeoutMs));
    if (!status->ok())
        return nullptr;
    return c;
}

PgConnection::~PgConnection() {
    close();
}

void PgConnection::close() {
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
}

Status PgConnection::statusFromServer(const char* sqlstate, const QString& detail) {
    const QByteArray code(sqlstate ? sqlstate : "");
    const QByteArray cls = code.left(2);
    // A lock held too long, a statement stopped by its time limit, two writers crossing: the
    // workstation tries again later.
    if (code == "55P03" || code == "57014" || code == "40P01" || code == "40001")
        return Status::failure(
            StoreError::Locked,
            withEngineDetail(QStringLiteral("La base de données est occupée par un autre poste. Réessayez dans un "
                                            "instant."),
                             detail));
    if (code == "42501" || code == "25006")
        return Status::failure(
            StoreError::ReadOnly,
            withEngineDetail(QStringLiteral("La base de données ne peut pas être modifiée : ce poste n'en a pas le "
                                            "droit."),
                             detail));
    if (cls == "23" || cls == "22")
        return Status::failure(
            StoreError::RefusedValue,
            withEngineDetail(QStringLiteral("Une valeur a été refusée par la base de données."), detail));
    if (cls == "08" || cls == "57" || code == "42P01" || code == "3D000" || cls == "28")
        return Status::failure(
            StoreError::Unreadable,
            withEngineDetail(QStringLiteral("Le serveur de la base de données est inaccessible ou n'a pas les tables "
                                            "du programme."),
                             detail));
    return Status::failure(StoreError::Failed,
                           withEngineDetail(QStringLiteral("Erreur de la base de données."), detail));
}

Status PgConnection::exec(const QString& sql, const QVariantList& binds, const std::function<bool(const PgRow&)>& each,
                          qint64* changes) {
    if (changes)
        *changes = 0;
    if (!m_conn)
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (statementLog())
        statementLog()(sql, binds);
    std::vector<QByteArray> texts(binds.size());
    std::vector<const char*> values(binds.size(), nullptr);
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        if (v.isNull())
            continue;
        texts[i] = v.typeId() == QMetaType::QString ? v.toString().toUtf8() : v.toString().toUtf8();
        // A text holding a NUL cannot be sent: the server would store only what comes before it.
        if (texts[i].contains('\0'))
            return Status::failure(StoreError::RefusedValue,
                                   QStringLiteral("Une valeur a été refusée par la base de données. (caractère nul)"));
        values[i] = texts[i].constData();
    }
    Result r(PQexecParams(m_conn, numbered(sql).constData(), int(binds.size()), nullptr, values.data(), nullptr,
                          nullptr, 0));
    if (!r)
        return statusFromServer("08000", serverMessage(m_conn));
    const ExecStatusType st = PQresultStatus(r.get());
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
        if (PQstatus(m_conn) == CONNECTION_BAD)
            PQreset(m_conn); // the next operation finds the server again if it came back
        return statusFromServer(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE),
                                QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)));
    }
    if (changes)
        *changes = QByteArray(PQcmdTuples(r.get())).toLongLong();
    if (each) {
        const int n = PQntuples(r.get());
        for (int i = 0; i < n; ++i) {
            if (!each(PgRow(r.get(), i)))
                break;
        }
    }
    return Status::success();
}

Status PgConnection::script(const QString& sql) {
    if (!m_conn)
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    Result r(PQexec(m_conn, sql.toUtf8().constData()));
    if (r && (PQresultStatus(r.get()) == PGRES_COMMAND_OK || PQresultStatus(r.get()) == PGRES_TUPLES_OK))
        return Status::success();
    if (!r)
        return statusFromServer("08000", serverMessage(m_conn));
    return statusFromServer(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE),
                            QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)));
}

} // namespace obs
