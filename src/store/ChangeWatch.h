// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace obs {

class PgChangeListener;
class Store;
struct ServerNotice;

// What other workstations changed in the base, as far as the base tells. A file only says that
// something was committed; a server names the acts of a small change.
struct StoreChanges {
    bool unknown = false;    // something changed, which rows is not known
    bool references = false; // the reference lists (MEMO)
    std::set<qint64> acts;   // acts known to be added, changed or deleted

    bool isEmpty() const { return !unknown && !references && acts.empty(); }
    // The acts may have changed (a listing of them may be out of date).
    bool actsMayHaveChanged() const { return unknown || !acts.empty(); }
    bool mayConcern(qint64 act) const { return unknown || acts.count(act) > 0; }
    void add(const StoreChanges& other);

    static StoreChanges anything() {
        StoreChanges c;
        c.unknown = true;
        return c;
    }
};

// Watches the shared base for commits made by OTHER connections (another workstation, the
// installer's tool, an import) and reports them as they come, never the program's own writes.
// On a file: the engine's count of other connections' commits, read about once a second on the
// screens' own connection while the program is idle. On a server: the base announces each
// committed change (a trigger's NOTIFY), heard on a listening connection of its own, without
// asking the server anything until an announcement arrives.
class ChangeWatch : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatch(QObject* parent = nullptr);
    ~ChangeWatch() override;

    // The shared store was replaced (`previous` by `store`, nothing after a close), at `location`.
    // The file's last commits seen by the previous connection are read first, so that a screen
    // reopening the base loses nothing that was committed meanwhile.
    void follow(const std::shared_ptr<Store>& previous, const std::shared_ptr<Store>& store, const QString& location);

    // How often the file's count of commits is read.
    static constexpr int kFilePollMs = 1000;

signals:
    // Delivered from the event loop, never from inside a store call.
    void changed(const obs::StoreChanges& changes);

private:
    void pollFile();
    // Reads the count on the store; the changes since the last reading, if any.
    bool fileMoved(Store& store);
    void heard(const std::vector<ServerNotice>& notices);
    void deliverLater(const StoreChanges& changes);
    void deliver();

    std::weak_ptr<Store> m_store;
    std::optional<qint64> m_fileCount;
    QTimer m_poll;
    QString m_serverLocation;
    std::unique_ptr<PgChangeListener> m_listener;
    StoreChanges m_pending;
    bool m_deliveryQueued = false;
};

} // namespace obs

Q_DECLARE_METATYPE(obs::StoreChanges)
