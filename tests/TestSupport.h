#pragma once

#include "store/BrowsedResult.h"
#include "store/Journal.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/sqlite/Database.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

class QAbstractItemView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QTimer;

namespace obs {
class PgConnection;
class RecordEditor;
class SearchWindow;
} // namespace obs

namespace obs::test {

// A fresh database with the program's tables on the test server named by OBSLEDGER_TEST_SERVER (a
// "key=value" connection string of a role that may create databases), dropped at the end.
class TempServerDatabase {
public:
    // The test server is given (the test command always gives it).
    static bool available();
    TempServerDatabase();
    ~TempServerDatabase();
    QString conninfo() const { return m_conninfo; }
    // The same database reached as a clinic's workstation reaches it: a login of its own that is a
    // member of obsledger_utilisateurs, neither the tables' owner nor a superuser. Made at the
    // first call, dropped with the database.
    QString userConninfo();
    // A connection of the test's own.
    PgConnection& connection() { return *m_db; }

private:
    QString m_name;
    QString m_conninfo;
    QString m_login;
    std::unique_ptr<PgConnection> m_db;
};

// Skips the test when no test server is given (a developer's plain ctest).
#define OBS_REQUIRE_SERVER()                                                                                           \
    do {                                                                                                               \
        if (!obs::test::TempServerDatabase::available())                                                               \
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");                                                           \
    } while (false)

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
    // What the screens open: the file, or the server when the test runs with
    // OBSLEDGER_TEST_ENGINE=serveur (then the setting SERVEUR names a fresh server database).
    QString location() const;
    bool onServer() const { return m_server != nullptr; }
    // On the server, the screens log in from now on as a workstation does (a member of
    // obsledger_utilisateurs), not as the test server's administrator. Nothing on a file.
    void useWorkstationLogin();
    // A statement as another workstation would run it, on whichever engine the clinic uses.
    void execute(const QString& sql);
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
    std::unique_ptr<TempServerDatabase> m_server;
    SharedDatabase m_shared;
    BrowsedResult m_browsed;
};

// A clinic whose rates file holds the usual rates, so that the search screen loads quietly.
struct ClinicWithRates : TempClinic {
    ClinicWithRates() { writeRates(); }
};

// A clinic whose acts, payments and sums paid over are written through the store, as the screens
// write them: each payment dated and with its mode in the journal.
struct JournaledClinic {
    std::shared_ptr<Store> store;
    QHash<QString, qint64> acts; // by patient surname

    explicit JournaledClinic(const QString& location) {
        Status s;
        store = Store::open(location, &s);
        if (!store)
            qFatal("open: %s", qPrintable(s.message));
    }
    void practitioner(const QString& name) {
        ReferenceEntry e;
        e.list = ReferenceList::Practitioners;
        e.label = name;
        check(store->references().add(e), "add");
    }
    void act(const QString& surname, const QString& firstName, qint64 date, const QString& performer,
             const QString& follower) {
        Act a;
        a.surname = surname;
        a.firstName = firstName;
        a.date = date;
        a.performedBy = performer;
        a.followedBy = follower;
        a.act = QStringLiteral("Accouchement");
        a.price = Money::fromEuros(300);
        qint64 n = 0;
        check(store->acts().append(a, &n), "append");
        acts[surname] = n;
    }
    Act stored(const QString& surname) {
        Act a;
        bool found = false;
        check(store->acts().find(acts.value(surname), &a, &found), "find");
        return a;
    }
    // Adds to what a payer has paid on the act, received on that day by that mode.
    void pay(const QString& surname, Payer payer, const char* amount, qint64 on, PaymentMode mode) {
        const Act shown = stored(surname);
        Act edited = shown;
        std::optional<Money>& total = payer == Payer::Secu            ? edited.paidSecu
                                      : payer == Payer::Complementary ? edited.paidComplementary
                                                                      : edited.paidExcess;
        total = total.value_or(Money()).plus(*Money::parse(QString::fromUtf8(amount)));
        check(store->acts().update(shown, edited, false, Receipt{on, mode}), "update");
    }
    void reverse(const QString& surname, const char* amount, qint64 on, PaymentMode mode) {
        bool changed = false;
        check(store->acts().addReversal(acts.value(surname), on, *Money::parse(QString::fromUtf8(amount)), &changed,
                                        mode),
              "addReversal");
        if (!changed)
            qFatal("reversal not written");
    }
    // Corrects who performed the act, with a payment typed in the same save when told.
    void performedBy(const QString& surname, const QString& performer, const char* patientPays = nullptr,
                     qint64 on = 0) {
        const Act shown = stored(surname);
        Act edited = shown;
        edited.performedBy = performer;
        if (patientPays)
            edited.paidExcess = edited.paidExcess.value_or(Money()).plus(*Money::parse(QString::fromUtf8(patientPays)));
        check(store->acts().update(shown, edited, false, Receipt{on, PaymentMode::Cheque}), "update");
    }
    void remove(const QString& surname) { check(store->acts().remove(acts.value(surname)), "remove"); }
    ReceiptsBook book(const QString& practitioner, qint64 from, qint64 to) {
        ReceiptsBook b;
        check(store->journal().receipts(practitioner, Period{from, to}, &b), "receipts");
        return b;
    }
    static void check(const Status& s, const char* what) {
        if (!s)
            qFatal("%s: %s", what, qPrintable(s.message));
    }
};

// What a base's journal and acts disagree on: the chain's fault, if any, then each act whose running
// totals (PAYESECU, PAYECOMPLE, PAYEDE, REVERSE) differ from the sums of its journal's payments,
// reversals and opening entries. Empty when they agree.
QStringList journalDisagreements(const QString& location);

// Rows of ACTES in a database file, read through a connection of its own; -1 when unreadable.
qint64 actsIn(const QString& path);
// The first column of a server query's first row; -1 (and a warning) when it cannot be read.
qint64 serverNumber(PgConnection& db, const QString& sql);

// An amount in the French form ("313,5") as an act's field holds it; empty or not a number: none.
QVariant euros(const QString& text);

// A named control of a window; fails the test when absent.
template <class T> T* child(const QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("control %s not found in %s", name, qPrintable(window->objectName()));
    return w;
}

// What a program run by a test gave back.
struct ProgramRun {
    int code = -1; // -1: it did not start, crashed or did not end in time
    QString out;
    QString err;
};
// Runs a program to its end, in the given environment (the test's own when empty).
ProgramRun runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
                      int timeoutMs = 120000);
// A program built beside the tests: obsledger-admin, obsledger.
QString builtProgram(const QString& name);
// The installer's tool run to its end, as the clinic runs it.
ProgramRun runAdmin(const QStringList& args, const QProcessEnvironment& env = {});
// The dated copies the restores kept of a file base, beside it, oldest first.
QStringList keptBeforeRestore(const QString& databasePath);
// A file of the former register's Access fixtures (tests/data/legacy).
QString legacyFixture(const char* name);

// A day number as the screens show it (JJ/MM/AAAA).
QString dayText(qint64 day);
// The payment entries among `entries`, "payer:amount in units:day:mode".
QStringList paymentLines(const std::vector<JournalEntry>& entries);

// Reads a file of the exports (';' between fields) as a spreadsheet does: quoted fields may hold
// ';', '""' and line breaks; fails the test without the byte order mark or the CRLF line ends.
QList<QStringList> readCsv(const QByteArray& bytes);

// A top-level window by its name, if one is open.
QWidget* topLevel(const QString& objectName);

// The texts of a list, as shown.
QStringList itemTexts(const QAbstractItemView* view);

// Message boxes shown for real from now on, answered by the keys the test sends (FastTyping), until
// the next TempClinic. An earlier test's end of the program (endProgram), which leaves every event
// loop refusing to run and would close the test's windows, is let go by first: call it before
// opening the windows.
void showRealBoxes();

// Keys as a secretary typing fast sends them, each to whatever holds the keyboard when it comes: a
// message box that an earlier key raised, if one is open, else an open list, else the focused control. Built
// in order, started, then finished once the test has done what raises the questions (or the first
// keys raise them). The boxes are real ones (showRealBoxes).
class FastTyping {
public:
    FastTyping();
    ~FastTyping();
    // Keys 30 ms apart, as a name is typed.
    FastTyping& type(const QString& letters);
    // One key 30 ms after the last (Escape, Alt+F...).
    FastTyping& press(QKeyCombination key);
    // The next box: it is waited for, `letters` go on being typed into it, then `answer` comes after
    // the time it takes to read it.
    FastTyping& question(const QString& letters, QKeyCombination answer);
    void start();
    // Waits until every key was sent and answered, and no box is left open.
    bool finish();
    // For each key, the text of the box it reached; empty when no box was open.
    QStringList reached() const { return m_reached; }

private:
    struct Key {
        QKeyCombination combination;
        QChar letter; // a typed letter; null for `combination`
        int pauseMs;
        bool newBox; // waits for a box other than the one answered last
    };
    void sendNext();
    QList<Key> m_keys;
    QStringList m_reached;
    qsizetype m_sent = 0;
    qsizetype m_returned = 0;
    QPointer<QWidget> m_lastBox;
    QElapsedTimer m_waited; // since the key began to wait for its box
    std::unique_ptr<QTimer> m_timer;
};

// The main window opened on the clinic's database, driven by the names of its controls.
struct MainWindow {
    explicit MainWindow(TempClinic& clinic);
    ~MainWindow();
    std::unique_ptr<RecordEditor> form;

    QLineEdit* edit(const char* name) const;
    QComboBox* combo(const char* name) const;
    void click(const char* name) const;
    // Types a name into the search box, as the secretary finds a patient.
    void find(const QString& name) const;
    // "Enregistrer les modifications", its question answered Oui.
    void save() const;
};

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

// A key, as a column of a test's table.
Q_DECLARE_METATYPE(QKeyCombination)
