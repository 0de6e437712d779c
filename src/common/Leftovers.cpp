// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Leftovers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace obs {

namespace {

// What a signal handler may read: fixed buffers, a slot taken or freed atomically.
constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;
struct Slot {
    std::atomic<int> state{0}; // 0 free, 1 being written, 2 to remove on a signal
    bool folder = false;
    char path[kPathBytes];
};
Slot g_slots[kSlots];

void removeFolderContent(const char* folder) {
    // Only the few files a command stages (a base and its journal); opendir is not safe in a
    // handler, so their names are tried.
    static const char* const kNames[] = {"OBSLEDGER.mdb", "OBSLEDGER.mdb-journal", "journal.mdb",
                                         "journal.mdb-journal"};
    for (const char* name : kNames) {
        char file[kPathBytes + 64];
        const size_t n = std::strlen(folder);
        if (n + std::strlen(name) + 2 > sizeof file)
            continue;
        std::memcpy(file, folder, n);
        file[n] = '/';
        std::memcpy(file + n + 1, name, std::strlen(name) + 1);
        ::unlink(file);
    }
    ::rmdir(folder);
}

extern "C" void onStopSignal(int signal) {
    for (Slot& s : g_slots) {
        if (s.state.load() != 2)
            continue;
        if (s.folder) {
            removeFolderContent(s.path);
        } else {
            ::unlink(s.path);
            char journal[kPathBytes + 16];
            const size_t n = std::strlen(s.path);
            std::memcpy(journal, s.path, n);
            std::memcpy(journal + n, "-journal", 9);
            ::unlink(journal);
        }
    }
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

Leftover::Leftover(const QString& path, bool folder) : m_path(path), m_folder(folder) {
    const QByteArray name = QFile::encodeName(path);
    if (!folder) {
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX | LOCK_NB);
    }
    if (name.size() + 1 > qsizetype(kPathBytes))
        return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!g_slots[i].state.compare_exchange_strong(expected, 1))
            continue;
        g_slots[i].folder = folder;
        std::memcpy(g_slots[i].path, name.constData(), size_t(name.size()) + 1);
        g_slots[i].state.store(2);
        m_slot = i;
        return;
    }
}

Leftover::~Leftover() {
    if (m_slot >= 0)
        g_slots[m_slot].state.store(0);
    if (!m_path.isEmpty()) {
        if (m_folder) {
            QDir(m_path).removeRecursively();
        } else {
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
        }
    }
    release();
}

void Leftover::release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void Leftover::keep() {
    if (m_slot >= 0)
        g_slots[m_slot].state.store(0);
    m_slot = -1;
    m_path.clear();
    release();
}

void removeDeadLeftovers(const QString& folder, int minAgeSeconds) {
    const QDir dir(folder);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minAgeSeconds);
    const QStringList partials =
        dir.entryList({QStringLiteral("*.??????.partiel")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : partials) {
        if (QFileInfo(dir.filePath(name)).lastModified().toUTC() > before)
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.constData());
            ::unlink((path + "-journal").constData());
        }
        ::close(fd);
    }
    // A journal whose file is gone belongs to nothing.
    for (const QString& name :
         dir.entryList({QStringLiteral("*.??????.partiel-journal")}, QDir::Files | QDir::Hidden | QDir::System))
        if (!dir.exists(name.chopped(8)))
            QFile::remove(dir.filePath(name));
}

QString scratchFolderTemplate(const QString& kind) {
    return QDir::temp().filePath(QStringLiteral("%1-%2-XXXXXX").arg(kind).arg(::getpid()));
}

void removeDeadScratchFolders(const QString& kind) {
    const QDir temp(QDir::tempPath());
    const int pidField = kind.count(u'-') + 1;
    for (const QString& name : temp.entryList({kind + QStringLiteral("-*")}, QDir::Dirs | QDir::Hidden)) {
        bool ok = false;
        const qint64 pid = name.section(u'-', pidField, pidField).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(temp.filePath(name)).removeRecursively();
    }
}

void removeLeftoversOnSignals() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onStopSignal);
}

} // namespace obs
