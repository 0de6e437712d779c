// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ChangeWatch.h"
#include "store/Status.h"

#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

struct pg_conn;

namespace obs {

class PgConnection;

// The channel on which the base announces its committed changes.
inline const QString kChangeChannel = QStringLiteral("obsledger_changes");

// The triggers by which the base itself announces each committed change of the acts and of the
// reference lists, whoever made it (the program, the installer's tool, psql): "actes:12,15" names
// the acts of a statement that wrote a few, "actes" a statement that wrote many (a restore sends
// one announcement, not a million), "memo" a change of the lists. Replaces an earlier version.
QString serverChangeNoticesSql();
// Installs them in one transaction (the tables' owner: the new base's schema and its upgrade).
Status installServerChangeNotices(PgConnection& db);
// The triggers are present (a base made before them announces nothing until it is upgraded).
bool hasServerChangeNotices(PgConnection& db);

// What an announcement says changed.
StoreChanges changesAnnounced(const QString& payload);

// One announcement heard: the server session that made the change, and what it says.
struct ServerNotice {
    qint64 session = 0;
    QString payload;
};

// A connection of its own that listens to the base's announcements and hands them over as they
// arrive: it waits on its socket, never asks the server anything. It connects without blocking
// the screens; when the connection is lost (server restarted, network cut) it connects again a
// little later. Each time it starts listening it says so (`resumed`): what was changed before
// that was not heard.
class PgChangeListener {
public:
    using Heard = std::function<void(const std::vector<ServerNotice>&)>;
    PgChangeListener(const QString& conninfo, Heard heard, std::function<void()> resumed);
    ~PgChangeListener();
    PgChangeListener(const PgChangeListener&) = delete;
    PgChangeListener& operator=(const PgChangeListener&) = delete;

    bool isListening() const { return m_state == State::Listening; }

    // How long a connection may take, and the pause before the next one after a loss.
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kRetryMs = 3000;

private:
    enum class State { Idle, Connecting, Subscribing, Listening };
    void start();
    void advance();
    void readInput();
    void lose();
    // Waits on the connection's socket for what libpq wants next.
    void arm(bool read, bool write);

    QString m_conninfo;
    Heard m_heard;
    std::function<void()> m_resumed;
    pg_conn* m_conn = nullptr;
    State m_state = State::Idle;
    bool m_wantsRead = false; // while connecting: libpq waits to read (else to write)
    // Changes may have been made unheard: before the first LISTEN, or while the connection was lost.
    bool m_missedSome = true;
    int m_socket = -1;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    QTimer m_retry;
    QTimer m_deadline;
};

} // namespace obs
