#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace obs {

namespace {
struct ProgramFolder {
    QString folder;
    bool writable = false;
};

ProgramFolder& simulated() {
    static ProgramFolder s;
    return s;
}

ProgramFolder programFolder() {
    if (!simulated().folder.isEmpty())
        return simulated();
    const QString folder = QCoreApplication::applicationDirPath();
    return {folder, !folder.isEmpty() && QFileInfo(folder).isWritable()};
}
} // namespace

QString applicationFolder() {
    const QString env = qEnvironmentVariable("OBSLEDGER_APPDIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    const ProgramFolder program = programFolder();
    return program.writable ? program.folder : userDataFolder();
}

QString applicationFile(const QString& name) {
    return QDir(applicationFolder()).filePath(name);
}

QString userDataFolder() {
    // Named here rather than after the application's name, so that both programs share it.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("obsledger"));
}

bool applicationFolderIsUserData() {
    return applicationFolder() == userDataFolder();
}

void simulateProgramFolder(const QString& folder, bool writable) {
    simulated() = {folder, writable};
}

} // namespace obs
