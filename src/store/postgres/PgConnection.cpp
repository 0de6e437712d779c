// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgConnection.h"

#include "store/StatementLog.h"

#include "store/postgres/LibPq.h"

#include <QElapsedTimer>

#include <poll.h>

#include <charconv>
#include <chrono>
#include <thread>
#include <vector>

namespace obs {

int PgRow::columns() const {
    return libpq::api().PQnfields(m_result);
}

bool PgRow::isNull(int column) const {
    return libpq::api().PQgetisnull(m_result, m_row, column);
}

QByteArrayView PgRow::utf8(int column) const {
    return QByteArrayView(libpq::api().PQgetvalue(m_result, m_row, column),
                          libpq::api().PQgetlength(m_result, m_row, column));
}

std::optional<Money> PgRow::money(int column) const {
    const auto v = integer(column);
    return v ? Money::fromStored(*v) : std::nullopt;
}

std::optional<qint64> PgRow::integer(int column) const {
    if (isNull(column))
        return std::nullopt;
    // Sums come back as numeric: digits only, since every stored amount is whole. Read in place: a
    // year's listing reads a few hundred thousand of them.
    const char* text = libpq::api().PQgetvalue(m_result, m_row, column);
    const char* end = text + libpq::api().PQgetlength(m_result, m_row, column);
    qint64 v = 0;
    const auto [stop, error] = std::from_chars(text, end, v);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return v;
}

namespace {

// The pause between two tries to reach a server being restarted.
constexpr int kRetryMs = 200;

struct ResultDeleter {
    void operator()(PGresult* r) const { libpq::api().PQclear(r); }
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
    return QString::fromUtf8(libpq::api().PQerrorMessage(conn)).trimmed();
}

// What a statement does, for what may be asked again after the connection was made anew.
enum class Kind {
    Read,     // a query or a session setting: asked again outside a transaction
    Begin,    // a transaction's start (and its settings): nothing done yet
    Commit,   // ends a transaction, or a script that commits what it wrote
    Rollback, // the transaction is gone with its connection anyway
    Write
};

Kind kindOf(const QString& sql) {
    QStringList parts = sql.split(u';', Qt::SkipEmptyParts);
    for (QString& p : parts)
        p = p.trimmed();
    parts.removeAll(QString());
    if (parts.isEmpty())
        return Kind::Read;
    auto is = [](const QString& part, const char* word) {
        return part.startsWith(QLatin1String(word), Qt::CaseInsensitive);
    };
    const QString& last = parts.last();
    if (is(last, "COMMIT") || is(last, "END"))
        return Kind::Commit;
    if (parts.size() == 1 && is(last, "ROLLBACK"))
        return Kind::Rollback;
    if (is(parts.first(), "BEGIN") || is(parts.first(), "START TRANSACTION")) {
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (!is(parts[i], "SET "))
                return Kind::Write;
        }
        return Kind::Begin;
    }
    for (const QString& p : parts) {
        const bool reads = (is(p, "SELECT") && !p.contains(QLatin1String("FOR UPDATE"), Qt::CaseInsensitive) &&
                            !p.contains(QLatin1String("FOR SHARE"), Qt::CaseInsensitive)) ||
                           is(p, "SHOW") || is(p, "SET ");
        if (!reads)
            return Kind::Write;
    }
    return Kind::Read;
}

bool succeeded(const PGresult* r) {
    return r &&
           (libpq::api().PQresultStatus(r) == PGRES_COMMAND_OK || libpq::api().PQresultStatus(r) == PGRES_TUPLES_OK);
}

// The connection is gone: closed by the server (restart, backend ended), or the network cut.
bool connectionBroken(PGconn* conn, const PGresult* r) {
    if (libpq::api().PQstatus(conn) == CONNECTION_BAD)
        return true;
    if (!r)
        return false;
    const QByteArray code(libpq::api().PQresultErrorField(r, PG_DIAG_SQLSTATE));
    return code.startsWith("08") || code == "57P01" || code == "57P02" || code == "57P03";
}

QString resultDetail(PGconn* conn, const PGresult* r) {
    const char* primary = r ? libpq::api().PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    return primary ? QString::fromUtf8(primary) : serverMessage(conn);
}

// Why a connection could not be made, in French, with libpq's words as the detail: a certificate
// refused is told apart, since waiting will not mend it.
QString refusal(PGconn* conn, const QString& described, const QString& then = {}) {
    const QString why = conn ? serverMessage(conn) : QStringLiteral("mémoire insuffisante");
    // libpq's words in English or, on a French workstation, in its own French.
    auto says = [&](const char* english, const QString& translated) {
        return why.contains(QLatin1String(english)) || why.contains(translated);
    };
    QString french;
    if (says("does not match host name", QStringLiteral("ne correspond pas au nom d'hôte")))
        french = QStringLiteral("Le certificat du serveur de la base de données (%1) est établi pour un autre nom : "
                                "la connexion est refusée. Vérifiez le nom du serveur (host) donné à ce poste.");
    else if (why.contains(QLatin1String("certificate verify failed")) ||
             why.contains(QLatin1String("self-signed certificate")) ||
             why.contains(QLatin1String("self signed certificate")))
        french = QStringLiteral("Le certificat du serveur de la base de données (%1) n'est pas signé par l'autorité "
                                "de certification de la clinique (sslrootcert) : la connexion est refusée.");
    else if (says("could not read root certificate file",
                  QStringLiteral("n'a pas pu lire le fichier de certificat racine")))
        french = QStringLiteral("Le fichier de l'autorité de certification de la clinique (sslrootcert) n'est pas un "
                                "certificat lisible : la connexion au serveur de la base de données (%1) est refusée. "
                                "Remplacez-le par le certificat de l'autorité (fichier .crt ou .pem).");
    else if (says("root certificate file", QStringLiteral("certificat racine")))
        french = QStringLiteral("Le certificat de l'autorité de certification de la clinique (sslrootcert) est "
                                "introuvable sur ce poste : la connexion au serveur de la base de données (%1) est "
                                "refusée.");
    else if (says("does not support SSL", QStringLiteral("ne supporte pas SSL")))
        french = QStringLiteral("Le serveur de la base de données (%1) ne propose pas de connexion chiffrée (TLS), que "
                                "ce poste exige : la connexion est refusée.");
    else if (says("timeout expired", QStringLiteral("le délai est dépassé")))
        french = QStringLiteral("Le serveur de la base de données (%1) ne répond pas (délai de ") +
                 QString::number(kServerConnectTimeoutS) + QStringLiteral(" secondes dépassé).");
    else
        french = QStringLiteral("Le serveur de la base de données (%1) est inaccessible ou refuse la connexion.");
    return withEngineDetail(french.arg(described) + then, why);
}

} // namespace

QString PgConnection::describe(const QString& conninfo) {
    if (!libpq::load())
        return QStringLiteral("(adresse de serveur illisible)");
    char* error = nullptr;
    PQconninfoOption* options = libpq::api().PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        if (error)
            libpq::api().PQfreemem(error);
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
    libpq::api().PQconninfoFree(options);
    return parts.isEmpty() ? QStringLiteral("(serveur par défaut)") : parts.join(u' ');
}

bool PgConnection::hasPassword(const QString& conninfo) {
    // Without libpq the address is read by hand: a password is never kept by mistake.
    if (!libpq::load())
        return conninfo.contains(QStringLiteral("password"), Qt::CaseInsensitive);
    char* error = nullptr;
    PQconninfoOption* options = libpq::api().PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        if (error)
            libpq::api().PQfreemem(error);
        return false;
    }
    bool found = false;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        found = found || (QByteArray(o->keyword) == "password" && o->val && *o->val);
    libpq::api().PQconninfoFree(options);
    return found;
}

ConnectKeywords::ConnectKeywords(const QString& conninfo, const char* applicationName)
    : m_info(conninfo.toUtf8()), m_timeout(QByteArray::number(kServerConnectTimeoutS)),
      m_unacknowledged(QByteArray::number(kServerConnectTimeoutS * 1000)) {
    auto add = [&](const char* key, const char* value) {
        m_keys.push_back(key);
        m_values.push_back(value);
    };
    // Keywords before "dbname" are defaults the address may override.
    if (qEnvironmentVariableIsEmpty("PGSSLMODE"))
        add("sslmode", "prefer");
    if (qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT"))
        add("connect_timeout", m_timeout.constData());
    add("keepalives", "1");
    add("keepalives_idle", "5");
    add("keepalives_interval", "2");
    add("keepalives_count", "3");
    add("tcp_user_timeout", m_unacknowledged.constData());
    add("application_name", applicationName);
    add("dbname", m_info.constData());
    add("client_encoding", "UTF8");
    add(nullptr, nullptr);
}

std::unique_ptr<PgConnection> PgConnection::open(const QString& conninfo, Status* status) {
    QString why;
    if (!libpq::load(&why)) {
        *status = Status::failure(StoreError::Unreadable, why);
        return nullptr;
    }
    std::unique_ptr<PgConnection> c(new PgConnection());
    c->m_described = describe(conninfo);
    const ConnectKeywords keywords(conninfo, "obsledger");
    c->m_conn = libpq::api().PQconnectdbParams(keywords.keys(), keywords.values(), 1);
    if (!c->m_conn || libpq::api().PQstatus(c->m_conn) != CONNECTION_OK) {
        *status = Status::failure(StoreError::Unreadable, refusal(c->m_conn, c->m_described));
        return nullptr;
    }
    *status = c->setUpSession();
    if (!status->ok())
        return nullptr;
    return c;
}

namespace {
// The server's notices (a "WARNING:" when it is stopped at once, in English) would go to the
// terminal as they stand: the store says in French what became of the operation instead.
void dropNotice(void*, const char*) {}
} // namespace

Status PgConnection::setUpSession() {
    libpq::api().PQsetNoticeProcessor(m_conn, dropNotice, nullptr);
    Result r(libpq::api().PQexec(m_conn, QStringLiteral("SET lock_timeout = %1; SET statement_timeout = %2")
                                             .arg(kServerLockTimeoutMs)
                                             .arg(kServerStatementTimeoutMs)
                                             .toUtf8()
                                             .constData()));
    if (succeeded(r.get()))
        return Status::success();
    return statusFromServer(r ? libpq::api().PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : "08000",
                            resultDetail(m_conn, r.get()));
}

bool PgConnection::ensureConnected(Status* status) {
    // A server that ended this connection while it was idle (restart, backend ended) has said so
    // and closed it: the socket reads. Reading it then finds the connection broken, before
    // anything is sent.
    for (int i = 0; i < 4 && libpq::api().PQstatus(m_conn) == CONNECTION_OK &&
                    libpq::api().PQtransactionStatus(m_conn) == PQTRANS_IDLE;
         ++i) {
        pollfd p{libpq::api().PQsocket(m_conn), POLLIN, 0};
        if (p.fd < 0 || ::poll(&p, 1, 0) <= 0)
            break;
        if (!libpq::api().PQconsumeInput(m_conn))
            break;
    }
    if (libpq::api().PQstatus(m_conn) == CONNECTION_OK)
        return true;
    return reconnect(status);
}

bool PgConnection::reconnect(Status* status) {
    // A server being restarted refuses connections for a moment: it is tried again for as long as
    // one connection may wait, so that an action made meanwhile goes through once it is back.
    QElapsedTimer waited;
    waited.start();
    libpq::api().PQreset(m_conn);
    while (libpq::api().PQstatus(m_conn) != CONNECTION_OK &&
           waited.elapsed() + kRetryMs < kServerConnectTimeoutS * 1000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        libpq::api().PQreset(m_conn);
    }
    if (libpq::api().PQstatus(m_conn) != CONNECTION_OK) {
        *status = Status::failure(StoreError::ConnectionLost,
                                  refusal(m_conn, m_described,
                                          QStringLiteral("\nRien n'a été enregistré. Réessayez quand le serveur "
                                                         "répond de nouveau.")));
        return false;
    }
    ++m_reconnections;
    const Status s = setUpSession();
    if (!s) {
        *status = s;
        return false;
    }
    if (m_onReconnected)
        m_onReconnected();
    return true;
}

Status PgConnection::lost(Lost how, const QString& detail) const {
    QString french;
    switch (how) {
    case Lost::NothingWritten:
        french = QStringLiteral("La connexion au serveur de la base de données (%1) a été perdue : rien n'a été "
                                "enregistré. Réessayez.");
        break;
    case Lost::PerhapsWritten:
        french = QStringLiteral("La connexion au serveur de la base de données (%1) a été perdue pendant "
                                "l'enregistrement : il n'est pas certain qu'il ait été fait. Vérifiez la fiche avant "
                                "de recommencer.");
        break;
    case Lost::Unreachable:
        french = QStringLiteral("La connexion au serveur de la base de données (%1) a été perdue et n'a pas pu être "
                                "rétablie. Réessayez quand le serveur répond de nouveau.");
        break;
    }
    return Status::failure(StoreError::ConnectionLost, withEngineDetail(french.arg(m_described), detail));
}

PgConnection::~PgConnection() {
    close();
}

bool PgConnection::connected() const {
    return m_conn && libpq::api().PQstatus(m_conn) == CONNECTION_OK;
}

void PgConnection::close() {
    if (m_conn)
        libpq::api().PQfinish(m_conn);
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

Status PgConnection::whileTransactionLost(const QString& sql) {
    switch (kindOf(sql)) {
    case Kind::Rollback:
        m_transactionLost = false;
        return Status::success();
    case Kind::Commit:
        m_transactionLost = false;
        return lost(Lost::NothingWritten, {});
    default:
        return lost(Lost::NothingWritten, {});
    }
}

Status PgConnection::run(const QString& sql, const std::function<PGresult*()>& send, PGresult** result) {
    *result = nullptr;
    if (m_transactionLost) {
        if (kindOf(sql) != Kind::Begin)
            return whileTransactionLost(sql);
        m_transactionLost = false;
    }
    Status s;
    if (!ensureConnected(&s))
        return s;
    const PGTransactionStatusType before = libpq::api().PQtransactionStatus(m_conn);
    Result r(send());
    if (succeeded(r.get())) {
        *result = r.release();
        return Status::success();
    }
    if (!connectionBroken(m_conn, r.get()))
        return statusFromServer(r ? libpq::api().PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : "08000",
                                resultDetail(m_conn, r.get()));
    const QString detail = resultDetail(m_conn, r.get());
    const Kind kind = kindOf(sql);
    r.reset();
    Status again;
    if (before != PQTRANS_IDLE) {
        // The server ended the transaction with its connection: nothing of it was kept, unless
        // it was being committed.
        const bool committing = kind == Kind::Commit && before != PQTRANS_INERROR;
        m_transactionLost = kind != Kind::Rollback && kind != Kind::Commit;
        reconnect(&again);
        if (kind == Kind::Rollback)
            return Status::success();
        return lost(committing ? Lost::PerhapsWritten : Lost::NothingWritten, detail);
    }
    if (kind == Kind::Rollback) {
        reconnect(&again);
        return Status::success();
    }
    if (kind != Kind::Read && kind != Kind::Begin) {
        // Never sent twice: the write may have been made before the connection broke.
        reconnect(&again);
        return lost(Lost::PerhapsWritten, detail);
    }
    if (!reconnect(&again))
        return again;
    r.reset(send());
    if (succeeded(r.get())) {
        *result = r.release();
        return Status::success();
    }
    if (connectionBroken(m_conn, r.get()))
        return lost(Lost::Unreachable, resultDetail(m_conn, r.get()));
    return statusFromServer(r ? libpq::api().PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : "08000",
                            resultDetail(m_conn, r.get()));
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
    const QByteArray statement = numbered(sql);
    PGresult* answer = nullptr;
    const Status s = run(
        sql,
        [&] {
            return libpq::api().PQexecParams(m_conn, statement.constData(), int(binds.size()), nullptr, values.data(),
                                             nullptr, nullptr, 0);
        },
        &answer);
    if (!s)
        return s;
    const Result r(answer);
    if (changes)
        *changes = QByteArray(libpq::api().PQcmdTuples(r.get())).toLongLong();
    if (each) {
        const int n = libpq::api().PQntuples(r.get());
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
    const QByteArray text = sql.toUtf8();
    PGresult* answer = nullptr;
    const Status s = run(
        sql, [&] { return libpq::api().PQexec(m_conn, text.constData()); }, &answer);
    libpq::api().PQclear(answer);
    return s;
}

} // namespace obs
