// SPDX-License-Identifier: GPL-3.0-or-later
// The hold an administration command takes on its base, on a file and on a server alike.
#include "common/Leftovers.h"
#include "store/Bulk.h"
#include "store/Store.h"
#include "store/postgres/PgBulk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace obs {

namespace {

constexpr int kPollMs = 100;

// A file base is held through its folder: a lock on the folder itself leaves no file behind, even
// when the command is killed, and the system ends it with the process. Two commands on two bases
// of one folder thus take turns.
class FolderHold final : public BaseHold {
public:
    explicit FolderHold(int fd) : m_fd(fd) {}
    ~FolderHold() override { ::close(m_fd); }
    FolderHold(const FolderHold&) = delete;
    FolderHold& operator=(const FolderHold&) = delete;

private:
    int m_fd;
};

// The command that holds the folder, as the system's table of locks and its process show it.
QString folderHolder(const struct stat& folder) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    const QString inode = QStringLiteral("%1:%2:%3")
                              .arg(major(folder.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(minor(folder.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(folder.st_ino);
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || f[1] != "FLOCK" || QString::fromLatin1(f[5]) != inode)
            continue;
        const QByteArray pid = f[4];
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(pid)));
        QStringList args;
        if (cmdline.open(QIODevice::ReadOnly))
            for (const QByteArray& a : cmdline.readAll().split('\0'))
                if (!a.isEmpty())
                    args << QString::fromLocal8Bit(a);
        if (!args.isEmpty())
            args[0] = QFileInfo(args[0]).fileName();
        return args.isEmpty()
                   ? QStringLiteral("une autre commande d'administration (processus %1)").arg(QString::fromLatin1(pid))
                   : QStringLiteral("« %1 » (processus %2)").arg(args.join(u' ').left(200), QString::fromLatin1(pid));
    }
    return {};
}

std::unique_ptr<BaseHold> holdFile(const QString& base, int waitMs, Status* status) {
    const QString folder = QFileInfo(base).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *status =
            Status::failure(StoreError::Unreadable,
                            QStringLiteral("Le dossier « %1 » est absent ou illisible (%2) : rien n'a été fait.")
                                .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(std::strerror(errno))));
        return nullptr;
    }
    QElapsedTimer clock;
    clock.start();
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (clock.elapsed() >= waitMs) {
            struct stat st {};
            const QString holder = ::fstat(fd, &st) == 0 ? folderHolder(st) : QString();
            ::close(fd);
            *status = Status::failure(
                StoreError::Locked,
                QStringLiteral("Le dossier de %1 est en cours d'utilisation par %2 : rien n'a été fait. Relancez la "
                               "commande quand celle-ci sera terminée.")
                    .arg(QDir::toNativeSeparators(base),
                         holder.isEmpty() ? QStringLiteral("une autre commande d'administration") : holder));
            return nullptr;
        }
        QThread::msleep(kPollMs);
    }
    // What a command killed in this folder left: no other command works here now.
    removeDeadLeftovers(folder, kQuietLeftoverSeconds);
    *status = Status::success();
    return std::make_unique<FolderHold>(fd);
}

} // namespace

QString followedFilePath(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < 40; ++i) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        // A dangling link still names its target.
        current = QFileInfo(info.absolutePath(), info.symLinkTarget()).absoluteFilePath();
        if (QFileInfo(info.symLinkTarget()).isAbsolute())
            current = info.symLinkTarget();
    }
    return current;
}

std::unique_ptr<BaseHold> holdBase(const QString& location, const QString& command, int waitMs, Status* status) {
    if (isServerLocation(location))
        return pg_bulk::holdBase(location.trimmed(), command, waitMs, status);
    return holdFile(followedFilePath(location), waitMs, status);
}

bool locationHasPassword(const QString& location) {
    // Read by hand as well: an address the server's library cannot read may still hold one.
    static const QRegularExpression written(QStringLiteral("(\\bpassword\\s*=)|(://[^/@\\s]*:[^/@\\s]*@)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return written.match(location).hasMatch() || (isServerLocation(location) && pg_bulk::hasPassword(location));
}

QString locationWithoutPassword(const QString& location) {
    QString shown = location;
    static const QRegularExpression keyValue(QStringLiteral("(\\bpassword\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|[^\\s&]*)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression uri(QStringLiteral("(://[^/@\\s:]*):[^/@\\s]*@"));
    shown.replace(keyValue, QStringLiteral("\\1***"));
    shown.replace(uri, QStringLiteral("\\1:***@"));
    return shown;
}

} // namespace obs
