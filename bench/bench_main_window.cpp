// The main window at clinic scale: one keystroke of the name search, the record buttons, a save,
// a delete and the start of the program up to the main window, on a database of 1,000,000 acts,
// each beside the same SQL run straight through SQLite.
//
//   bench_main_window                       all of it (builds the database once, see README.md)
//   bench_main_window --benchmark_filter=Keystroke
//   OBSLEDGER_BENCH_ROWS=20000 bench_main_window   a smaller clinic, for a quick look

#include "BenchSupport.h"

#include "app/Program.h"
#include "app/RecordEditor.h"
#include "app/StartWindow.h"
#include "common/Settings.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "store/sqlite/Collation.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace obs;
using namespace obs::bench;

namespace {

constexpr double kClickGoalMs = 16;
constexpr double kStartGoalMs = 500;
constexpr double kMemoryGoalMiB = 150;

struct Setup {
    QString dbPath;
    // What the program holds for its screens: the shared database and the browsed result.
    SharedDatabase database;
    BrowsedResult browsed;
    QPointer<RecordEditor> main;
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<DirectSqlite> direct;
};

Setup& setup() {
    static Setup s;
    return s;
}

// ---------------------------------------------------------------------------------------------
// The program's start, as its main() does it: the start window, then on "OK" the main window is
// created, loaded (opens the database) and shown.

struct Startup {
    std::unique_ptr<StartWindow> start;
    RecordEditor* main = nullptr;
};

void showStartWindow(Startup& s) {
    s.start = std::make_unique<StartWindow>();
    QObject::connect(s.start.get(), &StartWindow::accepted, s.start.get(), [&s] {
        s.main = new RecordEditor(setup().database, setup().browsed);
        setup().main = s.main;
        s.main->setAttribute(Qt::WA_DeleteOnClose);
        if (!s.main->load())
            return;
        s.main->show();
    });
    s.start->show();
    if (!waitExposed(s.start.get()))
        qFatal("the start window is not shown");
    settle();
}

// "OK" on the start window until the main window is shown and painted; the time it took.
double clickOk(Startup& s) {
    const auto t0 = Clock::now();
    control<QPushButton>(s.start.get(), "Command1")->click();
    if (!s.main || !waitExposed(s.main))
        qFatal("the main window is not shown (database path refused or not opened)");
    settle();
    return elapsedMs(t0);
}

RecordEditor* recordEditor() {
    if (RecordEditor* w = setup().main)
        return w;
    Startup s;
    showStartWindow(s);
    clickOk(s);
    return s.main;
}

// ---------------------------------------------------------------------------------------------
// SQL run straight through SQLite: the one statement each action needs.

const char* const kDirectFind = "SELECT rowid, * FROM ACTES WHERE Nom >= ? ORDER BY Nom, Prenom, rowid LIMIT 1";
const char* const kDirectNext =
    "SELECT rowid, * FROM ACTES WHERE (Nom, Prenom, rowid) > (?, ?, ?) ORDER BY Nom, Prenom, rowid LIMIT 1";
const char* const kDirectPrevious = "SELECT rowid, * FROM ACTES WHERE (Nom, Prenom, rowid) < (?, ?, ?) "
                                    "ORDER BY Nom DESC, Prenom DESC, rowid DESC LIMIT 1";
const char* const kDirectFirst = "SELECT rowid, * FROM ACTES ORDER BY Nom, Prenom, rowid LIMIT 1";
const char* const kDirectLast = "SELECT rowid, * FROM ACTES ORDER BY Nom DESC, Prenom DESC, rowid DESC LIMIT 1";
const char* const kDirectSave = "UPDATE ACTES SET Date=?, Acte=?, MEDSUIT=?, MEDACTE=?, CCAM1=?, NF=?, CCAM2=?, "
                                "CCAM3=?, CCAM4=?, CCAM5=?, CCAM6=?, PRIX=?, DE=?, PAYESECU=?, PAYECOMPLE=?, "
                                "PAYEDE=?, Nom=?, Prenom=? WHERE NUMINT=?";
const char* const kDirectDelete = "DELETE FROM ACTES WHERE NUMINT=?";

// Column places in "SELECT rowid, *": rowid, NUMINT, Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF,
// CCAM2..CCAM6, PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev.
QVariantList orderKeys(const QVariantList& row) {
    return {row.value(2), row.value(3), row.value(0)};
}

// What the user types: surnames of the clinic, some in lower case or with their accent, and
// surnames nobody has (the search then shows the next one in order).
const QStringList kTyped = {
    QStringLiteral("DURAND"),   QStringLiteral("martin"),   QStringLiteral("LEFEBVRE"), QStringLiteral("Léger"),
    QStringLiteral("ROUSSEAU"), QStringLiteral("GAUTHIER"), QStringLiteral("BONNET"),   QStringLiteral("Dupont"),
    QStringLiteral("PETIT"),    QStringLiteral("CARON"),    QStringLiteral("THOMAS"),   QStringLiteral("girard"),
    QStringLiteral("MOREL"),    QStringLiteral("LEFÈVRE"),  QStringLiteral("NICOLAS"),  QStringLiteral("D'ALMEIDA"),
    QStringLiteral("FOURNIER"), QStringLiteral("SIMON"),    QStringLiteral("ABADIE"),   QStringLiteral("VINCENT")};
// Texts that sort after every surname: "Ce Nom n'existe pas" at each keystroke.
const QStringList kTypedPastLast = {QStringLiteral("WAGNER"), QStringLiteral("ZOLA"), QStringLiteral("YILMAZ")};

// The sequence of search texts, one a keystroke, as the field holds them after each key.
QStringList keystrokePrefixes(const QStringList& names, int count) {
    QStringList out;
    for (int i = 0; out.size() < count; ++i) {
        const QString& n = names[i % names.size()];
        for (int k = 1; k <= n.size() && out.size() < count; ++k)
            out << n.left(k);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The name search: one key typed in "Text1" (open the query, find the first surname at or after
// the text, show the row), until the window is repainted.

void typeSearch(benchmark::State& state, const QString& key, const QStringList& names, bool expectMatch) {
    RecordEditor* w = recordEditor();
    auto* text1 = control<QLineEdit>(w, "Text1");
    auto* txtNom = control<QLineEdit>(w, "TxtNom");
    Samples samples;
    int name = 0, pos = 0;
    text1->clear();
    settle();
    Dialogs::clearShown();
    for (auto _ : state) {
        if (pos == names[name].size()) {
            // The whole surname is typed: the record shown is the first at or after it.
            if (expectMatch && frenchCompare(txtNom->text(), names[name]) < 0)
                problem(QStringLiteral("typing %1 showed %2").arg(names[name], txtNom->text()));
            name = (name + 1) % int(names.size());
            pos = 0;
            text1->clear();
            settle();
        }
        const QStringList before = Dialogs::shownTexts();
        const Stopwatch sw;
        typeCharacter(text1, names[name][pos++]);
        settle();
        sw.lap(state, samples);
        const bool missed = Dialogs::shownTexts().size() > before.size();
        if (missed != !expectMatch)
            problem(QStringLiteral("search %1: %2")
                        .arg(text1->text(), missed ? Dialogs::lastText() : QStringLiteral("a row shown")));
        Dialogs::clearShown();
    }
    publish(state, key, samples, Column::Program);
}

void BM_Program_Keystroke(benchmark::State& state) {
    typeSearch(state, QStringLiteral("keystroke"), kTyped, true);
}
void BM_Program_KeystrokePastLast(benchmark::State& state) {
    typeSearch(state, QStringLiteral("keystroke-miss"), kTypedPastLast, false);
}

void directSearch(benchmark::State& state, const QString& key, const QStringList& names) {
    DirectSqlite& db = *setup().direct;
    const QStringList prefixes = keystrokePrefixes(names, int(state.max_iterations));
    Samples samples;
    int i = 0;
    for (auto _ : state) {
        const QVariantList binds{prefixes[i++ % prefixes.size()]};
        const Stopwatch sw;
        db.run(kDirectFind, binds);
        sw.lap(state, samples);
    }
    publish(state, key, samples, Column::Direct);
}

void BM_Sqlite_Keystroke(benchmark::State& state) {
    directSearch(state, QStringLiteral("keystroke"), kTyped);
}
void BM_Sqlite_KeystrokePastLast(benchmark::State& state) {
    directSearch(state, QStringLiteral("keystroke-miss"), kTypedPastLast);
}

// ---------------------------------------------------------------------------------------------
// Record buttons on the search's result set, from several places in the alphabet.

// Each 100 presses the search places the cursor elsewhere, never at either end of the table.
const QStringList kStartLetters = {QStringLiteral("M"), QStringLiteral("G"), QStringLiteral("L"), QStringLiteral("R"),
                                   QStringLiteral("D")};

void placeBySearch(RecordEditor* w, const QString& text) {
    auto* text1 = control<QLineEdit>(w, "Text1");
    text1->clear();
    text1->setText(text);
    settle();
}

void pressButton(benchmark::State& state, const QString& key, const char* button) {
    RecordEditor* w = recordEditor();
    auto* b = control<QPushButton>(w, button);
    auto* numero = control<QLabel>(w, "LblNumero");
    const bool steps = qstrcmp(button, "Command3") == 0 || qstrcmp(button, "Command4") == 0;
    Samples samples;
    int n = 0;
    placeBySearch(w, kStartLetters[0]);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            placeBySearch(w, kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        const QString before = numero->text();
        const Stopwatch sw;
        b->click();
        settle();
        sw.lap(state, samples);
        if (numero->text().isEmpty() || (steps && numero->text() == before))
            problem(
                QStringLiteral("%1 left the record %2 -> %3").arg(QString::fromLatin1(button), before, numero->text()));
    }
    publish(state, key, samples, Column::Program);
}

void BM_Program_Next(benchmark::State& state) {
    pressButton(state, QStringLiteral("next"), "Command4");
}
void BM_Program_Previous(benchmark::State& state) {
    pressButton(state, QStringLiteral("previous"), "Command3");
}
void BM_Program_First(benchmark::State& state) {
    pressButton(state, QStringLiteral("first"), "Command1");
}
void BM_Program_Last(benchmark::State& state) {
    pressButton(state, QStringLiteral("last"), "Command2");
}

void directStep(benchmark::State& state, const QString& key, const char* sql, bool keyed) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    int n = 0;
    QVariantList keys;
    auto place = [&](const QString& letter) {
        std::vector<QVariantList> rows;
        db.run(kDirectFind, {letter}, &rows);
        keys = orderKeys(rows.at(0));
    };
    place(kStartLetters[0]);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            place(kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        std::vector<QVariantList> rows;
        const Stopwatch sw;
        db.run(sql, keyed ? keys : QVariantList(), &rows);
        sw.lap(state, samples);
        if (keyed && !rows.empty())
            keys = orderKeys(rows[0]);
    }
    publish(state, key, samples, Column::Direct);
}

void BM_Sqlite_Next(benchmark::State& state) {
    directStep(state, QStringLiteral("next"), kDirectNext, true);
}
void BM_Sqlite_Previous(benchmark::State& state) {
    directStep(state, QStringLiteral("previous"), kDirectPrevious, true);
}
void BM_Sqlite_First(benchmark::State& state) {
    directStep(state, QStringLiteral("first"), kDirectFirst, false);
}
void BM_Sqlite_Last(benchmark::State& state) {
    directStep(state, QStringLiteral("last"), kDirectLast, false);
}

// ---------------------------------------------------------------------------------------------
// Save: "Enregistrer les modifications", answered Yes, on the record shown (each time the next
// one). The values written are those shown, so the data set does not drift.

void BM_Program_Save(benchmark::State& state) {
    RecordEditor* w = recordEditor();
    auto* next = control<QPushButton>(w, "Command4");
    auto* save = control<QPushButton>(w, "CmdEnreg");
    placeBySearch(w, QStringLiteral("G"));
    Samples samples;
    for (auto _ : state) {
        next->click();
        settle();
        Dialogs::clearShown();
        Dialogs::queueAnswer(true);
        const Stopwatch sw;
        save->click();
        settle();
        sw.lap(state, samples);
        if (Dialogs::lastText() != QStringLiteral("Fiche modifiée"))
            problem(QStringLiteral("save said: %1").arg(Dialogs::lastText()));
    }
    Dialogs::clearShown();
    publish(state, QStringLiteral("save"), samples, Column::Program);
}

void BM_Sqlite_Save(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    std::vector<QVariantList> rows;
    db.run(kDirectFind, {QStringLiteral("G")}, &rows);
    QVariantList row = rows.at(0);
    Samples samples;
    for (auto _ : state) {
        rows.clear();
        db.run(kDirectNext, orderKeys(row), &rows);
        row = rows.at(0);
        // Date, Acte, MEDSUIT, MEDACTE, CCAM1, NF, CCAM2..6, PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, Nom, Prenom,
        // NUMINT
        const QVariantList binds{row[4],  row[7],  row[5],  row[6],  row[8],  row[9],  row[10],
                                 row[11], row[12], row[13], row[14], row[15], row[16], row[17],
                                 row[18], row[19], row[2],  row[3],  row[1]};
        const Stopwatch sw;
        db.run(kDirectSave, binds);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("save"), samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------
// Delete: "Supprimer cette fiche", answered Yes, on an act just added and found by its surname,
// so the data set keeps its size.

void BM_Program_Delete(benchmark::State& state) {
    RecordEditor* w = recordEditor();
    auto* numero = control<QLabel>(w, "LblNumero");
    auto* remove = control<QPushButton>(w, "CmdSup");
    Database& fixture = setup().clinic->db();
    Samples samples;
    for (auto _ : state) {
        const qint64 id = addScratchAct(fixture);
        placeBySearch(w, kScratchSurname);
        if (numero->text() != QString::number(id))
            problem(QStringLiteral("the act %1 to delete is not shown (%2)").arg(id).arg(numero->text()));
        Dialogs::clearShown();
        Dialogs::queueAnswer(true);
        const Stopwatch sw;
        remove->click();
        settle();
        sw.lap(state, samples);
        QVariant left;
        fixture.scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE NUMINT=%1").arg(id), &left);
        if (left.toLongLong() != 0 || !numero->text().isEmpty())
            problem(QStringLiteral("the act %1 was not deleted").arg(id));
    }
    publish(state, QStringLiteral("delete"), samples, Column::Program);
}

void BM_Sqlite_Delete(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Database& fixture = setup().clinic->db();
    Samples samples;
    for (auto _ : state) {
        const qint64 id = addScratchAct(fixture);
        const Stopwatch sw;
        db.run(kDirectDelete, {QVariant::fromValue<qint64>(id)});
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("delete"), samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------
// The store alone: the calls the main window makes for each action, without the display. The
// difference with the program's figure is the window's own work (filling and repainting it).

void storeOk(const Status& s, const char* what) {
    if (!s && s.error != StoreError::NoCurrentRecord)
        problem(QStringLiteral("store %1: %2").arg(QString::fromLatin1(what), s.message));
}

Store& sharedStore() {
    recordEditor(); // the shared database is the one the main window opened
    return *setup().database.store();
}

// A keystroke: the acts by name opened into the browsed result, the first at or after the text read.
void storeSearch(benchmark::State& state, const QString& key, const QStringList& names) {
    Store& store = sharedStore();
    BrowsedResult& browsed = setup().browsed;
    const QStringList prefixes = keystrokePrefixes(names, int(state.max_iterations));
    Samples samples;
    int i = 0;
    for (auto _ : state) {
        const QString text = prefixes[i++ % prefixes.size()];
        const Stopwatch sw;
        storeOk(browsed.open(store, BrowseQuery::actsByName()), "open");
        bool matched = false;
        BrowsedRecord record;
        storeOk(browsed.findFirst(text, &matched, &record), "find");
        sw.lap(state, samples);
    }
    publish(state, key, samples, Column::Store);
}

void BM_Store_Keystroke(benchmark::State& state) {
    storeSearch(state, QStringLiteral("keystroke"), kTyped);
}
void BM_Store_KeystrokePastLast(benchmark::State& state) {
    storeSearch(state, QStringLiteral("keystroke-miss"), kTypedPastLast);
}

using Move = BrowsedResult::Move;

// Places the browsed result on the first act of a surname, as a search leaves it.
void placeByName(const QString& text) {
    BrowsedResult& browsed = setup().browsed;
    storeOk(browsed.open(*setup().database.store(), BrowseQuery::actsByName()), "open");
    bool matched = false;
    BrowsedRecord record;
    storeOk(browsed.findFirst(text, &matched, &record), "find");
    if (!matched)
        problem(QStringLiteral("no act at or after %1").arg(text));
}

// A record button through the browsed result itself: what the main window's button does.
void storeMove(benchmark::State& state, const QString& key, Move move) {
    sharedStore();
    Samples samples;
    int n = 0;
    placeByName(kStartLetters[0]);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            placeByName(kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        BrowsedRecord record;
        const Stopwatch sw;
        const Status s = setup().browsed.step(move, &record);
        sw.lap(state, samples);
        storeOk(s, "move");
        if (!std::holds_alternative<Act>(record))
            problem(QStringLiteral("store %1: no act").arg(key));
    }
    publish(state, key, samples, Column::Store);
}

void BM_Store_Next(benchmark::State& state) {
    storeMove(state, QStringLiteral("next"), Move::Next);
}
void BM_Store_Previous(benchmark::State& state) {
    storeMove(state, QStringLiteral("previous"), Move::Previous);
}
void BM_Store_First(benchmark::State& state) {
    storeMove(state, QStringLiteral("first"), Move::First);
}
void BM_Store_Last(benchmark::State& state) {
    storeMove(state, QStringLiteral("last"), Move::Last);
}

// The save's data layer calls: the act written back as shown, checked unchanged in the same statement.
void BM_Store_Save(benchmark::State& state) {
    Store& store = sharedStore();
    placeByName(QStringLiteral("G"));
    Samples samples;
    for (auto _ : state) {
        BrowsedRecord record;
        storeOk(setup().browsed.step(Move::Next, &record), "next");
        const Act* shown = std::get_if<Act>(&record);
        if (!shown) {
            problem(QStringLiteral("store save: no act"));
            continue;
        }
        const Stopwatch sw;
        const Status s = store.acts().update(*shown, *shown, true);
        sw.lap(state, samples);
        storeOk(s, "save");
    }
    publish(state, QStringLiteral("save"), samples, Column::Store);
}

// The delete's data layer calls: the path read again, the database reopened, the act deleted, the
// database reopened and the acts by name opened into the browsed result.
void BM_Store_Delete(benchmark::State& state) {
    sharedStore();
    SharedDatabase& database = setup().database;
    Database& fixture = setup().clinic->db();
    Samples samples;
    for (auto _ : state) {
        const qint64 id = addScratchAct(fixture);
        const Stopwatch sw;
        database.setLocation(Settings::databasePath());
        Status s = database.reopen();
        if (s)
            s = database.store()->acts().remove(id);
        if (s)
            s = database.reopen();
        if (s)
            s = setup().browsed.open(*database.store(), BrowseQuery::actsByName());
        sw.lap(state, samples);
        storeOk(s, "delete");
    }
    publish(state, QStringLiteral("delete"), samples, Column::Store);
}

// The main window's load: the path read and tested, the database opened.
void BM_Store_Open(benchmark::State& state) {
    sharedStore();
    Samples samples;
    for (auto _ : state) {
        SharedDatabase database;
        const Stopwatch sw;
        database.setLocation(Settings::databasePath());
        Status s = databasePathPassesTest(database.location())
                       ? database.reopen()
                       : Status::failure(StoreError::Failed, QStringLiteral("path refused"));
        sw.lap(state, samples);
        storeOk(s, "open");
    }
    publish(state, QStringLiteral("start-in-process"), samples, Column::Store);
    publish(state, QStringLiteral("start-process"), samples, Column::Store);
}

// ---------------------------------------------------------------------------------------------
// Steps across a patient name shared by many acts: ">" from the last act of a name, "<" from the
// first. The step must pass every other act of that name in the index; in the demonstration data
// a surname and first name pair holds about one act in 720 (1,400 at 1,000,000 acts).

struct NameGroup {
    QString nom;
    QString prenom;
    qint64 firstId = 0; // first and last in the cursor's order (rowid within one name)
    qint64 lastId = 0;
    qint64 acts = 0;
};

const std::vector<NameGroup>& nameGroups() {
    static std::vector<NameGroup> groups;
    if (!groups.empty())
        return groups;
    Database& db = setup().clinic->db();
    const Status s = db.queryRaw(
        QStringLiteral("SELECT Nom, Prenom, min(NUMINT), max(NUMINT), count(*) FROM ACTES "
                       "WHERE Nom IN ('DURAND', 'MARTIN', 'LÉGER', 'ROUSSEAU', 'GIRARD') GROUP BY Nom, Prenom"),
        {}, [](const Row& r) {
            groups.push_back({r.values().value(0).toString(), r.values().value(1).toString(),
                              r.values().value(2).toLongLong(), r.values().value(3).toLongLong(),
                              r.values().value(4).toLongLong()});
            return true;
        });
    if (!s || groups.empty())
        qFatal("no name groups: %s", qPrintable(s.message));
    return groups;
}

qint64 largestGroup() {
    qint64 m = 0;
    for (const NameGroup& g : nameGroups())
        m = std::max(m, g.acts);
    return m;
}

// Places the browsed result at a name's edge, as steps would leave it: on the first act of the
// surname (to step back across the edge), or on the last act of the name before it (to step forward
// across it). Returns the number of the act it stands on.
qint64 placeAtEdge(const NameGroup& g, bool forward) {
    placeByName(g.nom);
    BrowsedRecord record;
    storeOk(forward ? setup().browsed.step(Move::Previous, &record) : setup().browsed.cursor()->current(&record),
            "place");
    const Act* act = std::get_if<Act>(&record);
    if (!act)
        problem(QStringLiteral("no act at the edge of %1").arg(g.nom));
    return act ? act->number : 0;
}

void pressAtEdge(benchmark::State& state, const QString& key, const char* button, bool forward) {
    RecordEditor* w = recordEditor();
    auto* b = control<QPushButton>(w, button);
    auto* numero = control<QLabel>(w, "LblNumero");
    const auto& groups = nameGroups();
    Samples samples;
    size_t n = 0;
    for (auto _ : state) {
        const NameGroup& g = groups[n++ % groups.size()];
        const qint64 from = placeAtEdge(g, forward);
        const Stopwatch sw;
        b->click();
        settle();
        sw.lap(state, samples);
        if (numero->text() == QString::number(from) || numero->text().isEmpty())
            problem(QStringLiteral("%1 did not leave the act %2").arg(QString::fromLatin1(button)).arg(from));
    }
    publish(state, key, samples, Column::Program);
}

void storeAtEdge(benchmark::State& state, const QString& key, bool forward) {
    sharedStore();
    const auto& groups = nameGroups();
    Samples samples;
    size_t n = 0;
    for (auto _ : state) {
        const NameGroup& g = groups[n++ % groups.size()];
        const qint64 from = placeAtEdge(g, forward);
        BrowsedRecord record;
        const Stopwatch sw;
        const Status s = setup().browsed.step(forward ? Move::Next : Move::Previous, &record);
        sw.lap(state, samples);
        storeOk(s, "move");
        const Act* act = std::get_if<Act>(&record);
        if (!act || act->number == from)
            problem(QStringLiteral("store: the step did not leave the act %1").arg(from));
    }
    publish(state, key, samples, Column::Store);
}

// The same steps on SQLite: from the first act of the name backwards, from the last act of the
// name before it forwards, by the keys of the act the result stands on.
void directAtEdge(benchmark::State& state, const QString& key, bool forward) {
    DirectSqlite& db = *setup().direct;
    const auto& groups = nameGroups();
    std::vector<QVariantList> starts;
    for (const NameGroup& g : groups) {
        std::vector<QVariantList> rows;
        db.run(kDirectFind, {g.nom}, &rows);
        QVariantList keys = orderKeys(rows.at(0));
        if (forward) {
            rows.clear();
            db.run(kDirectPrevious, keys, &rows);
            keys = orderKeys(rows.at(0));
        }
        starts.push_back(keys);
    }
    Samples samples;
    size_t n = 0;
    for (auto _ : state) {
        const QVariantList& keys = starts[n++ % starts.size()];
        const Stopwatch sw;
        db.run(forward ? kDirectNext : kDirectPrevious, keys);
        sw.lap(state, samples);
    }
    publish(state, key, samples, Column::Direct);
}

void BM_Program_NextAtNameEnd(benchmark::State& state) {
    pressAtEdge(state, QStringLiteral("next-edge"), "Command4", true);
}
void BM_Store_NextAtNameEnd(benchmark::State& state) {
    storeAtEdge(state, QStringLiteral("next-edge"), true);
}
void BM_Sqlite_NextAtNameEnd(benchmark::State& state) {
    directAtEdge(state, QStringLiteral("next-edge"), true);
}
void BM_Program_PreviousAtNameStart(benchmark::State& state) {
    pressAtEdge(state, QStringLiteral("previous-edge"), "Command3", false);
}
void BM_Store_PreviousAtNameStart(benchmark::State& state) {
    storeAtEdge(state, QStringLiteral("previous-edge"), false);
}
void BM_Sqlite_PreviousAtNameStart(benchmark::State& state) {
    directAtEdge(state, QStringLiteral("previous-edge"), false);
}

// ---------------------------------------------------------------------------------------------
// Start-up. In this process: "OK" on the start window until the main window is loaded, shown and
// painted (fonts and styles already loaded by an earlier window). As a new process: from the
// start of the program until its main window is painted, "OK" clicked at once.

void BM_Program_StartInProcess(benchmark::State& state) {
    Samples samples;
    for (auto _ : state) {
        delete setup().main.data();
        setup().browsed.reset();
        setup().database.close();
        Startup s;
        showStartWindow(s);
        const Stopwatch sw;
        clickOk(s);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("start-in-process"), samples, Column::Program);
}

// What loading the main window asks of SQLite: open the file, read the schema, check the tables.
void openLikeTheProgram(const QString& path) {
    DirectSqlite db(path);
    db.run("PRAGMA journal_mode");
    db.run("SELECT count(*) FROM sqlite_master");
    db.run("SELECT count(*) FROM sqlite_master WHERE type='table' AND upper(name) IN ('ACTES','MEMO')");
}

void BM_Sqlite_Open(benchmark::State& state) {
    Samples samples;
    for (auto _ : state) {
        const Stopwatch sw;
        openLikeTheProgram(setup().dbPath);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("start-in-process"), samples, Column::Direct);
    publish(state, QStringLiteral("start-process"), samples, Column::Direct);
}

struct ChildFigures {
    Samples shownMs; // start of the process until the main window is painted, seen by the parent
    Samples clickMs; // "OK" until the main window is painted, seen by the child
    double startPeakMiB = 0;
    double sessionPeakMiB = 0;
    double sessionNowMiB = 0;
};

ChildFigures& childFigures() {
    static ChildFigures f;
    return f;
}

void BM_Program_StartProcess(benchmark::State& state) {
    ChildFigures& f = childFigures();
    const QString self = QCoreApplication::applicationFilePath();
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        const auto t0 = Clock::now();
        child.start(self, {QStringLiteral("--startup-child")});
        double shownMs = -1;
        while (shownMs < 0 && child.waitForReadyRead(20000)) {
            while (child.canReadLine()) {
                const QList<QByteArray> parts = child.readLine().trimmed().split(' ');
                if (parts.value(0) == "shown") {
                    shownMs = elapsedMs(t0);
                    f.clickMs.add(parts.value(1).toDouble());
                    f.startPeakMiB = std::max(f.startPeakMiB, parts.value(2).toDouble());
                    break;
                }
            }
        }
        if (shownMs < 0)
            qFatal("the program started as a child did not show its main window: %s",
                   child.readAllStandardError().constData());
        state.SetIterationTime(shownMs / 1000.0);
        f.shownMs.add(shownMs);
        if (!child.waitForFinished(60000) || child.exitCode() != 0)
            qFatal("the child program failed: %s", child.readAllStandardError().constData());
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.value(0) == "session") {
                f.sessionPeakMiB = std::max(f.sessionPeakMiB, parts.value(1).toDouble());
                f.sessionNowMiB = std::max(f.sessionNowMiB, parts.value(2).toDouble());
            }
        }
    }
    publish(state, QStringLiteral("start-process"), f.shownMs, Column::Program);
}

// The child: the program as its main() runs it, "OK" clicked at once; then a short session
// (a surname typed, 200 steps, last, first, another surname, a save) for its memory.
int startupChild(int argc, char** argv) {
    const auto t0 = Clock::now();
    benchApplication(argc, argv);
    Dialogs::setTesting(true); // nothing may block; the settings come from the parent's folder
    Program program;
    program.start();
    if (!waitExposed(&program.startWindow()))
        qFatal("the start window is not shown");
    settle();
    const auto click = Clock::now();
    control<QPushButton>(&program.startWindow(), "Command1")->click();
    RecordEditor* w = program.recordEditor();
    if (!w || !waitExposed(w))
        qFatal("the main window is not shown (database path refused or not opened)");
    settle();
    const double clickMs = elapsedMs(click);
    std::printf("shown %.3f %.1f %.3f\n", clickMs, programPeakMemoryMiB(), elapsedMs(t0));
    std::fflush(stdout);

    auto* text1 = control<QLineEdit>(w, "Text1");
    for (QChar c : QStringLiteral("DURAND")) {
        typeCharacter(text1, c);
        settle();
    }
    auto* next = control<QPushButton>(w, "Command4");
    for (int i = 0; i < 200; ++i) {
        next->click();
        settle();
    }
    control<QPushButton>(w, "Command2")->click();
    settle();
    control<QPushButton>(w, "Command1")->click();
    settle();
    text1->clear();
    for (QChar c : QStringLiteral("MARTIN")) {
        typeCharacter(text1, c);
        settle();
    }
    Dialogs::queueAnswer(true);
    control<QPushButton>(w, "CmdEnreg")->click();
    settle();
    std::printf("session %.1f %.1f\n", programPeakMemoryMiB(), currentMemoryMiB());
    std::fflush(stdout);
    return Dialogs::lastText() == QStringLiteral("Fiche modifiée") ? 0 : 4;
}

// ---------------------------------------------------------------------------------------------

void explainCursorQueries() {
    // The statements the shared cursor issues for the main query, as EXPLAIN QUERY PLAN sees them.
    const QString base = QStringLiteral("SELECT rowid AS \"__rowid\", * FROM ACTES");
    const QString fwd = QStringLiteral(" ORDER BY \"NOM\", \"PRENOM\", rowid LIMIT 1");
    const QString bwd = QStringLiteral(" ORDER BY \"NOM\" DESC, \"PRENOM\" DESC, rowid DESC LIMIT 1");
    const std::pair<const char*, QString> queries[] = {
        {"open / first", base + fwd},
        {"find Nom >= 'DU'", base + QStringLiteral(" WHERE (Nom >= 'DU')") + fwd},
        {"next", base + QStringLiteral(" WHERE ((\"NOM\",\"PRENOM\",rowid) > (?,?,?))") + fwd},
        {"previous", base + QStringLiteral(" WHERE ((\"NOM\",\"PRENOM\",rowid) < (?,?,?))") + bwd},
        {"last", base + bwd},
        {"current row", base + QStringLiteral(" WHERE rowid=?")},
        {"save / delete: NUMINT =", QStringLiteral("SELECT * FROM ACTES WHERE NUMINT = 12")},
    };
    Report& r = Report::instance();
    r.addNote(QStringLiteral("\nQuery plans of the cursor's statements:"));
    for (const auto& [what, sql] : queries)
        r.addNote(QStringLiteral("  %1: %2")
                      .arg(QString::fromLatin1(what), setup().direct->queryPlan(sql).join(QStringLiteral("; "))));
}

void declareActions() {
    Report& r = Report::instance();
    r.declare(QStringLiteral("keystroke"), QStringLiteral("Keystroke in Text1 (search + show row)"), kClickGoalMs,
              QString::fromLatin1(kDirectFind));
    r.declare(QStringLiteral("keystroke-miss"), QStringLiteral("Keystroke past the last surname"), kClickGoalMs,
              QString::fromLatin1(kDirectFind));
    r.declare(QStringLiteral("next"), QStringLiteral("Command4 \">\" next record"), kClickGoalMs,
              QString::fromLatin1(kDirectNext));
    r.declare(QStringLiteral("previous"), QStringLiteral("Command3 \"<\" previous record"), kClickGoalMs,
              QString::fromLatin1(kDirectPrevious));
    r.declare(QStringLiteral("next-edge"), QStringLiteral("Command4 from the last act of a name"), kClickGoalMs,
              QString::fromLatin1(kDirectNext));
    r.declare(QStringLiteral("previous-edge"), QStringLiteral("Command3 from the first act of a name"), kClickGoalMs,
              QString::fromLatin1(kDirectPrevious));
    r.declare(QStringLiteral("first"), QStringLiteral("Command1 \"Debut\" first record"), kClickGoalMs,
              QString::fromLatin1(kDirectFirst));
    r.declare(QStringLiteral("last"), QStringLiteral("Command2 \"Fin\" last record"), kClickGoalMs,
              QString::fromLatin1(kDirectLast));
    r.declare(QStringLiteral("save"), QStringLiteral("CmdEnreg save (answered Yes)"), kClickGoalMs,
              QString::fromLatin1(kDirectSave));
    r.declare(QStringLiteral("delete"), QStringLiteral("CmdSup delete (answered Yes)"), kClickGoalMs,
              QString::fromLatin1(kDirectDelete));
    r.declare(QStringLiteral("start-in-process"), QStringLiteral("Start: StartWindow OK -> RecordEditor shown (warm)"),
              kStartGoalMs, QStringLiteral("open the file, read the schema, check both tables"));
    r.declare(QStringLiteral("start-process"), QStringLiteral("Start: new process -> RecordEditor shown"), kStartGoalMs,
              QStringLiteral("open the file, read the schema, check both tables"));
}

} // namespace

BENCHMARK(BM_Program_Keystroke)->Iterations(600)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Keystroke)->Iterations(600)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Keystroke)->Iterations(600)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_KeystrokePastLast)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_KeystrokePastLast)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_KeystrokePastLast)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_Next)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Next)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Next)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_Previous)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Previous)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Previous)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_NextAtNameEnd)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_NextAtNameEnd)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_NextAtNameEnd)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_PreviousAtNameStart)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_PreviousAtNameStart)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_PreviousAtNameStart)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_First)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_First)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_First)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_Last)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Last)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Last)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_Save)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Save)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Save)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_Delete)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Delete)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Delete)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_StartInProcess)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Open)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Open)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Program_StartProcess)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--startup-child") == 0)
        return startupChild(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchApplication(argc, argv);
    const int rows = wantedRows();
    Setup& s = setup();
    s.dbPath = benchDatabase(rows);
    const bool built = benchDatabaseWasBuilt();
    const double peakAfterBuild = peakMemoryMiB();
    s.clinic = std::make_unique<BenchClinic>(s.dbPath);
    s.direct = std::make_unique<DirectSqlite>(s.dbPath);
    declareActions();
    recordEditor(); // the first window pays for fonts and styles; the start-up benchmarks measure that apart

    std::printf("Main window at %d acts: %s\n", rows, qPrintable(s.dbPath));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    Report& r = Report::instance();
    r.addNote(QStringLiteral("\nLoad average at the end: %1 on %2 processors (other programs running widen the p95).")
                  .arg(loadAverage(), 0, 'f', 2)
                  .arg(QThread::idealThreadCount()));
    if (!Report::instance().empty(QStringLiteral("next-edge")) ||
        !Report::instance().empty(QStringLiteral("previous-edge")))
        r.addNote(
            QStringLiteral("Names at the edge: up to %1 acts share one surname and first name.").arg(largestGroup()));
    explainCursorQueries();
    const ChildFigures& cf = childFigures();
    r.addNote(QStringLiteral("\nMemory (goal: under %1 MiB):").arg(kMemoryGoalMiB));
    if (!cf.shownMs.empty()) {
        r.addNote(QStringLiteral("  program as a new process: peak %1 MiB at its main window, peak %2 MiB (now %3 MiB) "
                                 "after a session (searches, 200 steps, first, last, a save): %4")
                      .arg(cf.startPeakMiB, 0, 'f', 1)
                      .arg(cf.sessionPeakMiB, 0, 'f', 1)
                      .arg(cf.sessionNowMiB, 0, 'f', 1)
                      .arg(cf.sessionPeakMiB < kMemoryGoalMiB ? QStringLiteral("met") : QStringLiteral("NOT met")));
        r.addNote(QStringLiteral("  in the new process, OK -> main window painted (cold): p50 %1 ms, p95 %2 ms")
                      .arg(cf.clickMs.median(), 0, 'f', 1)
                      .arg(cf.clickMs.p95(), 0, 'f', 1));
    }
    r.addNote(QStringLiteral("  this benchmark process (the window, a second connection, the samples): peak %1 MiB "
                             "(ru_maxrss), now %2 MiB%3")
                  .arg(peakMemoryMiB(), 0, 'f', 1)
                  .arg(currentMemoryMiB(), 0, 'f', 1)
                  .arg(built ? QStringLiteral(" (the database was built in this run: peak %1 MiB then; run again "
                                              "for the program alone)")
                                   .arg(peakAfterBuild, 0, 'f', 1)
                             : QString()));
    if (problems() > 0)
        r.addNote(
            QStringLiteral("\n%1 unexpected outcome(s) seen while measuring: see the messages above.").arg(problems()));
    r.print();

    delete s.main.data();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
