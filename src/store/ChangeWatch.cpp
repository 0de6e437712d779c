// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ChangeWatch.h"

#include "store/Store.h"
#include "store/postgres/PgChangeNotices.h"

#include <utility>

namespace obs {

void StoreChanges::add(const StoreChanges& other) {
    unknown = unknown || other.unknown;
    references = references || other.references;
    acts.insert(other.acts.begin(), other.acts.end());
}

ChangeWatch::ChangeWatch(QObject* parent) : QObject(parent) {
    // A coarse timer: the reading is cheap, and a second is well within what a person notices.
    m_poll.setTimerType(Qt::CoarseTimer);
    m_poll.setInterval(kFilePollMs);
    connect(&m_poll, &QTimer::timeout, this, &ChangeWatch::pollFile);
}

ChangeWatch::~ChangeWatch() = default;

void ChangeWatch::follow(const std::shared_ptr<Store>& previous, const std::shared_ptr<Store>& store,
                         const QString& location) {
    // What the connection being replaced had not yet seen: the new one starts counting from now.
    if (previous && previous == m_store.lock() && previous->isOpen() && fileMoved(*previous))
        deliverLater(StoreChanges::anything());
    m_store = store;
    m_fileCount.reset();
    if (!store) {
        m_poll.stop();
        m_listener.reset();
        m_serverLocation.clear();
        return;
    }
    if (!isServerLocation(location)) {
        m_listener.reset();
        m_serverLocation.clear();
        m_fileCount = store->othersCommits();
        m_poll.start();
        return;
    }
    m_poll.stop();
    // The screens open the base anew often (each listing): the listening connection stays as long
    // as the server named is the same.
    const QString server = location.trimmed();
    if (m_listener && server == m_serverLocation)
        return;
    m_serverLocation = server;
    m_listener = std::make_unique<PgChangeListener>(
        server, [this](const std::vector<ServerNotice>& notices) { heard(notices); },
        [this] { deliverLater(StoreChanges::anything()); });
}

bool ChangeWatch::fileMoved(Store& store) {
    const std::optional<qint64> count = store.othersCommits();
    if (!count)
        return false; // busy being written: the next reading tells
    const bool moved = m_fileCount && *count != *m_fileCount;
    m_fileCount = count;
    return moved;
}

void ChangeWatch::pollFile() {
    const std::shared_ptr<Store> store = m_store.lock();
    if (store && store->isOpen() && fileMoved(*store))
        deliverLater(StoreChanges::anything());
}

void ChangeWatch::heard(const std::vector<ServerNotice>& notices) {
    // The screens' own changes are announced too: the session that made each one tells them apart.
    const std::shared_ptr<Store> store = m_store.lock();
    const qint64 own = store && store->isOpen() ? store->serverSession() : 0;
    StoreChanges changes;
    for (const ServerNotice& n : notices) {
        if (own == 0 || n.session != own)
            changes.add(changesAnnounced(n.payload));
    }
    if (!changes.isEmpty())
        deliverLater(changes);
}

void ChangeWatch::deliverLater(const StoreChanges& changes) {
    m_pending.add(changes);
    if (std::exchange(m_deliveryQueued, true))
        return;
    QMetaObject::invokeMethod(this, &ChangeWatch::deliver, Qt::QueuedConnection);
}

void ChangeWatch::deliver() {
    m_deliveryQueued = false;
    const StoreChanges changes = std::exchange(m_pending, {});
    if (!changes.isEmpty())
        emit changed(changes);
}

} // namespace obs
