// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgChangeNotices.h"

#include "store/postgres/PgConnection.h"

#include "store/postgres/LibPq.h"

#include <utility>

namespace obs {

namespace {

// Beyond this many acts in one statement, the statement is a load: one announcement says so.
constexpr int kNamedActs = 20;

// Statement-level triggers: a statement writing a million rows (a restore) announces once, and the
// server folds identical announcements of one transaction into one. The acts a statement wrote are
// read from its transition table, a few at most. A statement that wrote nothing announces nothing.
const char* const kChangeNotices = R"(
CREATE OR REPLACE FUNCTION obs_annonce_actes() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    numeros bigint[];
BEGIN
    SELECT array_agg(numint ORDER BY numint) INTO numeros FROM (SELECT numint FROM obs_changees LIMIT %2) premiers;
    IF numeros IS NOT NULL THEN
        PERFORM pg_notify('%1', CASE WHEN cardinality(numeros) > %3 THEN 'actes'
                                     ELSE 'actes:' || array_to_string(numeros, ',') END);
    END IF;
    RETURN NULL;
END $$;
CREATE OR REPLACE FUNCTION obs_annonce() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('%1', TG_ARGV[0]);
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER obs_annonce_ajout AFTER INSERT ON actes REFERENCING NEW TABLE AS obs_changees
    FOR EACH STATEMENT EXECUTE FUNCTION obs_annonce_actes();
CREATE OR REPLACE TRIGGER obs_annonce_modif AFTER UPDATE ON actes REFERENCING NEW TABLE AS obs_changees
    FOR EACH STATEMENT EXECUTE FUNCTION obs_annonce_actes();
CREATE OR REPLACE TRIGGER obs_annonce_suppr AFTER DELETE ON actes REFERENCING OLD TABLE AS obs_changees
    FOR EACH STATEMENT EXECUTE FUNCTION obs_annonce_actes();
CREATE OR REPLACE TRIGGER obs_annonce_vidage AFTER TRUNCATE ON actes FOR EACH STATEMENT EXECUTE FUNCTION obs_annonce('actes');
CREATE OR REPLACE TRIGGER obs_annonce_memo AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON memo
    FOR EACH STATEMENT EXECUTE FUNCTION obs_annonce('memo');
)";

} // namespace

QString serverChangeNoticesSql() {
    return QString::fromUtf8(kChangeNotices).arg(kChangeChannel).arg(kNamedActs + 1).arg(kNamedActs);
}

Status installServerChangeNotices(PgConnection& db) {
    Status s = db.script(QStringLiteral("BEGIN"));
    if (s)
        s = db.script(serverChangeNoticesSql());
    if (!s) {
        db.script(QStringLiteral("ROLLBACK"));
        return s;
    }
    return db.script(QStringLiteral("COMMIT"));
}

bool hasServerChangeNotices(PgConnection& db) {
    int found = 0;
    db.exec(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgname IN ('obs_annonce_ajout', "
                           "'obs_annonce_modif', 'obs_annonce_suppr', 'obs_annonce_memo')"),
            {}, [&](const PgRow& r) {
                found = int(r.integer(0).value_or(0));
                return false;
            });
    return found == 4;
}

StoreChanges changesAnnounced(const QString& payload) {
    StoreChanges c;
    if (payload == QLatin1String("memo")) {
        c.references = true;
        return c;
    }
    if (payload.startsWith(QLatin1String("actes:"))) {
        for (const QStringView part : QStringView(payload).mid(6).split(u',')) {
            bool ok = false;
            const qint64 n = part.toLongLong(&ok);
            if (!ok) {
                c.unknown = true; // not what the triggers write: taken as a change of anything
                continue;
            }
            c.acts.insert(n);
        }
        return c;
    }
    c.unknown = true; // "actes": a load; anything else: a change of some other kind
    return c;
}

PgChangeListener::PgChangeListener(const QString& conninfo, Heard heard, std::function<void()> resumed)
    : m_conninfo(conninfo), m_heard(std::move(heard)), m_resumed(std::move(resumed)) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    QObject::connect(&m_retry, &QTimer::timeout, [this] { start(); });
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kConnectTimeoutMs);
    QObject::connect(&m_deadline, &QTimer::timeout, [this] { lose(); });
    start();
}

namespace {
// A notifier may be the one whose signal is being handled: it goes once that is over.
void drop(std::unique_ptr<QSocketNotifier>& notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    QObject::disconnect(notifier.get(), nullptr, nullptr, nullptr);
    notifier.release()->deleteLater();
}
} // namespace

PgChangeListener::~PgChangeListener() {
    drop(m_reader);
    drop(m_writer);
    if (m_conn) // made only once libpq was loaded
        libpq::api().PQfinish(m_conn);
}

void PgChangeListener::start() {
    // As the screens' own connection: the same defaults, the address able to override them.
    if (!libpq::load()) {
        lose();
        return;
    }
    const ConnectKeywords keywords(m_conninfo, "obsledger (annonces)");
    m_conn = libpq::api().PQconnectStartParams(keywords.keys(), keywords.values(), 1);
    if (!m_conn || libpq::api().PQstatus(m_conn) == CONNECTION_BAD) {
        lose();
        return;
    }
    m_state = State::Connecting;
    m_wantsRead = false; // before the first poll, libpq waits to write
    m_deadline.start();
    arm(false, true);
}

void PgChangeListener::arm(bool read, bool write) {
    const int socket = m_conn ? libpq::api().PQsocket(m_conn) : -1;
    if (socket != m_socket) {
        drop(m_reader);
        drop(m_writer);
        m_socket = socket;
        if (socket < 0)
            return;
        m_reader = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        m_writer = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
        QObject::connect(m_reader.get(), &QSocketNotifier::activated, [this] { advance(); });
        QObject::connect(m_writer.get(), &QSocketNotifier::activated, [this] { advance(); });
    }
    if (m_reader)
        m_reader->setEnabled(read);
    if (m_writer)
        m_writer->setEnabled(write);
}

void PgChangeListener::advance() {
    if (!m_conn)
        return;
    if (m_state == State::Connecting) {
        const PostgresPollingStatusType poll = libpq::api().PQconnectPoll(m_conn);
        if (poll == PGRES_POLLING_FAILED) {
            lose();
            return;
        }
        if (poll != PGRES_POLLING_OK) {
            m_wantsRead = poll == PGRES_POLLING_READING;
            arm(m_wantsRead, !m_wantsRead);
            return;
        }
        m_deadline.stop();
        libpq::api().PQsetnonblocking(m_conn, 1);
        const QByteArray listen = QStringLiteral("LISTEN %1").arg(kChangeChannel).toUtf8();
        if (!libpq::api().PQsendQuery(m_conn, listen.constData())) {
            lose();
            return;
        }
        m_state = State::Subscribing;
    }
    if (libpq::api().PQflush(m_conn) < 0) {
        lose();
        return;
    }
    readInput();
}

void PgChangeListener::readInput() {
    if (!libpq::api().PQconsumeInput(m_conn) || libpq::api().PQstatus(m_conn) == CONNECTION_BAD) {
        lose();
        return;
    }
    while (!libpq::api().PQisBusy(m_conn)) {
        PGresult* r = libpq::api().PQgetResult(m_conn);
        if (!r)
            break;
        const bool ok = libpq::api().PQresultStatus(r) == PGRES_COMMAND_OK;
        libpq::api().PQclear(r);
        if (!ok) {
            lose();
            return;
        }
        if (m_state == State::Subscribing) {
            m_state = State::Listening;
            // Listening from now on: what was changed before (since the screens opened the base,
            // or while the connection was lost) was not heard.
            if (std::exchange(m_missedSome, false) && m_resumed)
                m_resumed();
        }
    }
    std::vector<ServerNotice> notices;
    while (PGnotify* n = libpq::api().PQnotifies(m_conn)) {
        notices.push_back({qint64(n->be_pid), QString::fromUtf8(n->extra)});
        libpq::api().PQfreemem(n);
    }
    arm(true, libpq::api().PQflush(m_conn) == 1);
    if (!notices.empty() && m_heard)
        m_heard(notices);
}

void PgChangeListener::lose() {
    m_deadline.stop();
    drop(m_reader);
    drop(m_writer);
    m_socket = -1;
    if (m_conn)
        libpq::api().PQfinish(m_conn);
    m_conn = nullptr;
    m_state = State::Idle;
    m_missedSome = true;
    m_retry.start();
}

} // namespace obs
