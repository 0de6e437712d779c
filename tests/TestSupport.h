#pragma once

#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "store/sqlite/Database.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

class QAbstractItemView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;

namespace obs {
class SearchWindow;
}

namespace obs::test {

// A clinic in a temporary folder: its own settings folder (XDG_CONFIG_HOME), application folder
// (OBSLEDGER_APPDIR) and a real database file with both tables, named by "CHEMIN". Message
// boxes are switched to testing mode and the shared store is reset.
class TempClinic {
public:
    // The database the screens share and the result the record buttons follow, as the program
    // holds them: screens under test are handed these.
    SharedDatabase& database() { return m_shared; }
    BrowsedResult& browsed() { return m_browsed; }
    // Writes the rates file (the usual "10","50" unless told), so that the search screen loads quietly.
    void writeRates(const QByteArray& content = QByteArrayLiteral("\"10\",\"50\"\r\n")) const;

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
    SharedDatabase m_shared;
    BrowsedResult m_browsed;
};

// A named control of a window; fails the test when absent.
template <class T> T* child(const QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("control %s not found in %s", name, qPrintable(window->objectName()));
    return w;
}

// Saves a picture of the window into the folder named by OBSLEDGER_SCREENS, when it is set.
void saveScreenshot(QWidget* window, const QString& name);

// A top-level window by its name, if one is open.
QWidget* topLevel(const QString& objectName);

// The texts of a list, as shown.
QStringList itemTexts(const QAbstractItemView* view);

// The search screen opened on the clinic's database, driven by the names of its controls.
struct SearchScreen {
    explicit SearchScreen(TempClinic& clinic);
    ~SearchScreen();
    QPointer<SearchWindow> form;

    QLineEdit* edit(const char* name) const;
    QLabel* label(const char* name) const;
    QString caption(const char* name) const;
    QComboBox* combo(const char* name) const;
    QListView* list(const char* name) const;
    void click(const char* name) const;
    // Types into a combo box's editor (ASCII through the keyboard, the rest inserted).
    void type(const char* box, const QString& text) const;
    void period(const QString& from, const QString& to) const;
    QStringList lines(const char* name = "List2") const;
    // Count, total in euros and in francs.
    QStringList totals() const;
    // Reversals: the practitioner who performed the acts and the one they were done for.
    void pair(const QString& performer, const QString& followUp) const;
    QStringList owed() const;
    void pay(const QString& sum) const;
};

} // namespace obs::test
