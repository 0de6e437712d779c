#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace obs {

QString applicationFolder() {
    const QString env = qEnvironmentVariable("OBSLEDGER_APPDIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    return QCoreApplication::applicationDirPath();
}

QString applicationFile(const QString& name) {
    return QDir(applicationFolder()).filePath(name);
}

} // namespace obs
