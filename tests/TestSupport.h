#pragma once

#include "store/sqlite/Database.h"

#include <QTemporaryDir>
#include <QWidget>
#include <memory>

namespace obs::test {

// A clinic in a temporary folder: its own settings folder (XDG_CONFIG_HOME), application folder
// (OBSLEDGER_APPDIR) and a real database file with both tables, named by "CHEMIN". Message
// boxes are switched to testing mode and the shared store is reset.
class TempClinic {
public:
    explicit TempClinic(bool demo = false);
    ~TempClinic();

    QString dir() const { return m_dir.path(); }
    QString dbPath() const { return m_dbPath; }
    QString appDir() const;
    QString file(const QString& name) const;

    // A connection of the test's own, for seeding and for reading back what the screens stored.
    Database& db();
    qint64 addAct(const Fields& fields);
    // A reference entry; amounts in the French form ("313,5"), empty for none.
    qint64 addMemo(int category, const QString& text, const QString& ccam = QString(),
                   const QString& tariff = QString(), const QStringList& mutuals = {});
    QVariant scalar(const QString& sql);
    qint64 count(const QString& table);

private:
    QTemporaryDir m_dir;
    QString m_dbPath;
    std::shared_ptr<Database> m_db;
};

// A named control of a window; fails the test when absent.
template <class T> T* child(const QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("control %s not found in %s", name, qPrintable(window->objectName()));
    return w;
}

// A top-level window by its name, if one is open.
QWidget* topLevel(const QString& objectName);

} // namespace obs::test
