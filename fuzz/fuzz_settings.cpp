// The user's settings file MARIGOLD.ini as any editor may have left it: the database path written
// into it reads back as written, and the backup folder beside it is left as it was.
#include "FuzzSupport.h"
#include "common/Settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>

#include <algorithm>

using namespace obs;
using namespace obs::fuzz;

namespace {
bool hasLineBreak(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
    });
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every settings file of this run lives in the scratch folder.
    qputenv("XDG_CONFIG_HOME", scratchFolder().toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString path = QString::fromStdString(in.ConsumeRandomLengthString(128));
    const QByteArray ini = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const QString file = QDir(scratchFolder()).filePath(QStringLiteral("MARIGOLD.ini"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(ini) != ini.size())
            fail("settings file written", file);
    }
    FUZZ_CHECK(Settings::fileFor(kSettingsApp) == file, Settings::fileFor(kSettingsApp));
    const QString backup = Settings::backupFolder();
    QString error;
    FUZZ_CHECK(Settings::setDatabasePath(path, &error), error);
    if (!hasLineBreak(path) && path == path.trimmed())
        FUZZ_CHECK(Settings::databasePath() == path,
                   QStringLiteral("%1 written, %2 read back from %3")
                       .arg(escaped(path), escaped(Settings::databasePath()), escaped(ini)));
    if (!hasLineBreak(path))
        FUZZ_CHECK(Settings::backupFolder() == backup,
                   QStringLiteral("the backup folder %1 became %2 in %3")
                       .arg(escaped(backup), escaped(Settings::backupFolder()), escaped(ini)));
    return 0;
}
