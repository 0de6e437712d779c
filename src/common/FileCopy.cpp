// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FileCopy.h"

#include "common/PrivateFile.h"

#include <QFile>
#include <QSaveFile>

namespace obs {

bool copyFileWhole(const QString& from, const QString& to, QString* why) {
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        *why = out.errorString();
        return false;
    }
    if (!restrictToClinic(out, to, why))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            *why = chunk.isEmpty() ? in.errorString() : out.errorString();
            return false;
        }
    }
    if (!out.commit()) {
        *why = out.errorString();
        return false;
    }
    return true;
}

} // namespace obs
