#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace obs::fuzz {

void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "\n*** broken promise: %s\n*** %s\n", what, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QString scratchFolder() {
    // In memory where the system offers it: on a disk, rewriting a file flushes it at each close.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/obsledger-fuzz-XXXXXX")
                                 : QDir::temp().filePath(QStringLiteral("obsledger-fuzz-XXXXXX")));
    if (!dir.isValid())
        fail("scratch folder made", dir.errorString());
    return dir.path();
}

QString writeScratchFile(const QByteArray& content) {
    static const QString path = QDir(scratchFolder()).filePath(QStringLiteral("input.cmt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        fail("scratch file written", path);
    return path;
}

QString escaped(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\\')
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return u'"' + out + u'"';
}

QString escaped(const QByteArray& bytes) {
    QString out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F && b != '\\')
            out += QChar(b);
        else
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return u'"' + out + u'"';
}

} // namespace obs::fuzz
