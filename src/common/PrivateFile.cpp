// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PrivateFile.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace obs {

namespace {

QString folderOf(const QString& target) {
    return QFileInfo(target).absolutePath();
}

QString systemError(const QString& path, int error) {
    return QStringLiteral("Les droits du fichier « %1 » n'ont pas pu être restreints (%2).")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
}

// A folder whose file system keeps no Unix rights (a USB key in FAT, a share without Unix
// extensions) refuses any change: its files have the rights its mount gives, and a backup onto it
// must still be made.
bool keepsNoRights(int error) {
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

bool failed(QString* why, const QString& path, int error) {
    if (keepsNoRights(error))
        return true;
    if (why)
        *why = systemError(path, error);
    return false;
}

} // namespace

unsigned clinicFileMode(const QString& folder, FileReaders readers) {
    if (readers == FileReaders::Owner)
        return S_IRUSR | S_IWUSR;
    struct stat st {};
    const bool clinicFolder = ::stat(QFile::encodeName(folder).constData(), &st) == 0 && (st.st_mode & S_ISGID);
    return clinicFolder ? (S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP) : (S_IRUSR | S_IWUSR);
}

bool restrictToClinic(int fd, const QString& target, QString* why, FileReaders readers) {
    if (fd < 0) {
        if (why)
            *why = systemError(target, EBADF);
        return false;
    }
    if (::fchmod(fd, mode_t(clinicFileMode(folderOf(target), readers))) != 0)
        return failed(why, target, errno);
    return true;
}

bool restrictToClinic(QFileDevice& file, const QString& target, QString* why, FileReaders readers) {
    return restrictToClinic(file.handle(), target, why, readers);
}

bool restrictToClinic(const QString& path, const QString& target, QString* why) {
    if (::chmod(QFile::encodeName(path).constData(), mode_t(clinicFileMode(folderOf(target)))) != 0)
        return failed(why, path, errno);
    return true;
}

bool createClinicFile(const QString& path, QString* why) {
    const mode_t mode = mode_t(clinicFileMode(folderOf(path)));
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return errno == EEXIST || failed(why, path, errno);
    // open() drops what the umask holds (a umask of 022 takes the group's write).
    const bool ok = ::fchmod(fd, mode) == 0;
    const int error = errno;
    ::close(fd);
    return ok || failed(why, path, error);
}

} // namespace obs
