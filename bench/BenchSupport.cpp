#include "BenchSupport.h"

#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/DemoData.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/sqlite/Collation.h"
#include "store/sqlite/Schema.h"
#include "store/sqlite/SqliteBulk.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWindow>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

// The pictures of the windows live in the GUI library, a static library: registered here too, so
// that the windows measured load them as the program does (registering twice is harmless).
static void registerPictures() {
    Q_INIT_RESOURCE(obsledger);
}

namespace obs::bench {

namespace {

bool g_built = false;

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(what));
    std::fflush(stderr);
    std::exit(1);
}

void check(const Status& s, const char* what) {
    if (!s)
        fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), s.message));
}

qint64 countActs(Database& db) {
    QVariant n;
    check(db.scalar(QStringLiteral("SELECT count(*) FROM ACTES"), &n), "counting the acts");
    return n.toLongLong();
}

// A kept file is reused only when it is a program database with exactly the wanted count.
bool reusable(const QString& path, int rows) {
    if (!QFileInfo(path).isFile())
        return false;
    Status s;
    auto db = Database::open(path, &s);
    if (!db || !db->hasProgramTables())
        return false;
    // Acts added by a run that was stopped between adding and deleting.
    db->executeRaw(QStringLiteral("DELETE FROM ACTES WHERE Nom = ?"), {kScratchSurname});
    return countActs(*db) == rows;
}

void build(const QString& path, int rows) {
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    QFile::remove(building + QStringLiteral("-journal"));
    std::fprintf(stderr, "bench: building %s with %d acts (once; later runs reuse it)...\n", qPrintable(path), rows);
    QElapsedTimer t;
    t.start();
    {
        Status s;
        auto db = Database::create(building, &s);
        if (!db)
            fail(QStringLiteral("cannot create %1: %2").arg(building, s.message));
        // Only this building connection: a crash leaves a ".building" file that is never reused.
        check(db->executeRaw(QStringLiteral("PRAGMA synchronous=OFF")), "pragma");
        check(db->executeRaw(QStringLiteral("PRAGMA cache_size=-400000")), "pragma");
        check(createSchema(*db), "creating the tables");
        const QDate today = QDate::currentDate();
        check(sqlite_bulk::appendRows(db, demoReferences(), demoActs(rows, today.addYears(-20), today)),
              "filling the reference lists and the acts");
        if (countActs(*db) != rows)
            fail(QStringLiteral("the new database does not hold %1 acts").arg(rows));
        // A clinic's file grows day after day, its period index in date order; the generator's acts
        // come in random order and leave that index scattered over the file, which a first listing
        // read from the disk would pay for. Rewritten once, the file is laid out as a clinic's is.
        check(db->executeRaw(QStringLiteral("VACUUM")), "compacting the file");
        db->close();
    }
    QFile::remove(path);
    if (!QFile::rename(building, path))
        fail(QStringLiteral("cannot rename %1 to %2").arg(building, path));
    std::fprintf(stderr, "bench: built in %.1f s\n", t.elapsed() / 1000.0);
}

// The program's indexes as it creates them now, by name (from a scratch file made by the program).
std::map<QString, QString> programIndexes(const QString& folder) {
    const QString scratch = QDir(folder).filePath(QStringLiteral("schema-scratch.mdb"));
    QFile::remove(scratch);
    std::map<QString, QString> out;
    {
        Status s;
        auto db = Database::create(scratch, &s);
        if (!db)
            fail(QStringLiteral("cannot create %1: %2").arg(scratch, s.message));
        check(createSchema(*db), "creating the scratch tables");
        check(db->queryRaw(
                  QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"), {},
                  [&](const Row& r) {
                      out[r.value(QStringLiteral("name")).toString()] = r.value(QStringLiteral("sql")).toString();
                      return true;
                  }),
              "reading the scratch indexes");
        db->close();
    }
    QFile::remove(scratch);
    return out;
}

// A kept file made before the program had one of its indexes gets it, as a clinic's file would,
// and the file's size is said before and after.
void addMissingIndexes(const QString& path) {
    const std::map<QString, QString> wanted = programIndexes(QFileInfo(path).absolutePath());
    Status s;
    auto db = Database::open(path, &s);
    if (!db)
        fail(QStringLiteral("cannot open %1: %2").arg(path, s.message));
    std::vector<QString> missing;
    for (const auto& [name, sql] : wanted) {
        QString held;
        check(db->queryRaw(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?"), {name},
                           [&](const Row& r) {
                               held = r.value(QStringLiteral("sql")).toString();
                               return false;
                           }),
              "reading the indexes");
        // An index of that name made otherwise (by an earlier trial) is made again as the program makes it.
        if (!held.isEmpty() && held != sql)
            check(db->executeRaw(QStringLiteral("DROP INDEX \"%1\"").arg(name)), "dropping an index");
        if (held != sql)
            missing.push_back(sql);
    }
    if (missing.empty())
        return;
    const double before = QFileInfo(path).size() / 1e6;
    QElapsedTimer t;
    t.start();
    for (const QString& sql : missing) {
        std::fprintf(stderr, "bench: adding to the kept file: %s\n", qPrintable(sql));
        check(db->executeRaw(sql), "adding an index");
    }
    db->close();
    std::fprintf(stderr, "bench: file %.1f MB before the new index(es), %.1f MB after (%.1f s)\n", before,
                 QFileInfo(path).size() / 1e6, t.elapsed() / 1000.0);
}

// A kept file made before the journal is given it as `obsledger-admin upgrade` would: its acts'
// running totals carried over as opening entries (some 3 million at a million acts).
void addJournal(const QString& path) {
    Status s;
    auto store = Store::open(path, &s);
    if (!store)
        fail(QStringLiteral("cannot open %1: %2").arg(path, s.message));
    if (store->journal().present())
        return;
    QElapsedTimer t;
    t.start();
    const double before = QFileInfo(path).size() / 1e6;
    qint64 opened = 0;
    check(store->journal().create(&opened), "giving the kept file its journal");
    std::fprintf(stderr,
                 "bench: journal given to the kept file: %lld opening entries in %.1f s, file %.1f MB -> %.1f MB\n",
                 opened, t.elapsed() / 1000.0, before, QFileInfo(path).size() / 1e6);
}

} // namespace

int wantedRows() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("OBSLEDGER_BENCH_ROWS", &ok);
    return ok && n > 0 ? n : 1'000'000;
}

namespace {
int g_problems = 0;
} // namespace

void problem(const QString& what) {
    ++g_problems;
    if (g_problems <= 20)
        std::fprintf(stderr, "bench: unexpected: %s\n", qPrintable(what));
}

int problems() {
    return g_problems;
}

QString benchFolder() {
    const QString env = qEnvironmentVariable("OBSLEDGER_BENCH_DIR");
    return env.isEmpty() ? QStringLiteral("/tmp/obsledger-bench") : QDir::cleanPath(env);
}

QString benchDatabase(int rows) {
    const QString folder = benchFolder();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("cannot create the folder %1").arg(folder));
    const QString path = QDir(folder).filePath(QStringLiteral("acts-%1-OBSLEDGER.mdb").arg(rows));
    g_built = false;
    if (!reusable(path, rows)) {
        build(path, rows);
        g_built = true;
    }
    addJournal(path);
    addMissingIndexes(path);
    return path;
}

bool benchDatabaseWasBuilt() {
    return g_built;
}

qint64 addScratchAct(Database& db) {
    const Money prix = Money::parse(QStringLiteral("41,8")).value_or(Money());
    Fields f{{QStringLiteral("Nom"), kScratchSurname},
             {QStringLiteral("Prenom"), QStringLiteral("Mesure")},
             {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate::currentDate()))},
             {QStringLiteral("MEDSUIT"), QStringLiteral("Dr MARTIN")},
             {QStringLiteral("MEDACTE"), QStringLiteral("Dr MARTIN")},
             {QStringLiteral("Acte"), QStringLiteral("Délivrance artificielle")},
             {QStringLiteral("CCAM1"), QStringLiteral("JQGD002")},
             {QStringLiteral("NF"), QString()}};
    for (int k = 2; k <= 6; ++k)
        f.emplace_back(QStringLiteral("CCAM%1").arg(k), QString());
    f.emplace_back(QStringLiteral("PRIX"), moneyValue(prix));
    f.emplace_back(QStringLiteral("DE"), moneyValue(Money()));
    qint64 id = 0;
    check(db.insert(QStringLiteral("ACTES"), f, &id), "adding a scratch act");
    return id;
}

// ---------------------------------------------------------------------------------------------

namespace {
QtMessageHandler g_previousHandler = nullptr;
bool g_handlerInstalled = false;

// The offscreen platform says at every window shown that it cannot resize to the size hints.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}
} // namespace

QApplication& benchApplication(int& argc, char** argv) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *app;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!g_handlerInstalled) {
        g_previousHandler = qInstallMessageHandler(quietHandler);
        g_handlerInstalled = true;
    }
    static QApplication* app = new QApplication(argc, argv);
    registerPictures();
    QApplication::setApplicationName(QStringLiteral("OBSLEDGER"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QApplication::setQuitOnLastWindowClosed(false);
    return *app;
}

BenchClinic::BenchClinic(const QString& databasePath) : m_databasePath(databasePath) {
    if (!m_dir.isValid())
        fail(QStringLiteral("cannot create a temporary folder"));
    const QDir d(m_dir.path());
    d.mkpath(QStringLiteral("config"));
    d.mkpath(QStringLiteral("app"));
    qputenv("XDG_CONFIG_HOME", d.filePath(QStringLiteral("config")).toUtf8());
    qputenv("OBSLEDGER_APPDIR", d.filePath(QStringLiteral("app")).toUtf8());
    QString error;
    if (!Settings::setDatabasePath(databasePath, &error))
        fail(QStringLiteral("cannot write the settings: %1").arg(error));
    Dialogs::setTesting(true);
    Dialogs::clearShown();
    clearEndRequest();
}

BenchClinic::~BenchClinic() {
    if (m_db)
        m_db->close();
}

Database& BenchClinic::db() {
    if (!m_db) {
        Status s;
        m_db = Database::open(m_databasePath, &s);
        if (!m_db)
            fail(QStringLiteral("cannot open %1: %2").arg(m_databasePath, s.message));
    }
    return *m_db;
}

// ---------------------------------------------------------------------------------------------

void typeCharacter(QWidget* widget, QChar c) {
    int key = Qt::Key_unknown;
    const QChar up = c.toUpper();
    if (up >= u'A' && up <= u'Z')
        key = Qt::Key_A + (up.unicode() - u'A');
    else if (c >= u'0' && c <= u'9')
        key = Qt::Key_0 + (c.unicode() - u'0');
    else if (c == u' ')
        key = Qt::Key_Space;
    else if (c == u'\'')
        key = Qt::Key_Apostrophe;
    const Qt::KeyboardModifiers mods = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, key, mods, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, QString(c));
    QApplication::sendEvent(widget, &release);
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool waitExposed(QWidget* window, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return false;
}

// ---------------------------------------------------------------------------------------------

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

void Samples::add(double ms, double cpuMs) {
    m_ms.push_back(ms);
    if (cpuMs >= 0)
        m_cpu.push_back(cpuMs);
}

double Samples::max() const {
    return m_ms.empty() ? 0 : *std::max_element(m_ms.begin(), m_ms.end());
}

double Stopwatch::lap(benchmark::State& state, Samples& samples) const {
    const double wall = elapsedMs(m_start);
    samples.add(wall, threadCpuMs() - m_cpuStart);
    state.SetIterationTime(wall / 1000.0);
    return wall;
}

double Samples::percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    const size_t rank = std::clamp<size_t>(size_t(std::ceil(p / 100.0 * double(v.size()))), 1, v.size());
    std::nth_element(v.begin(), v.begin() + long(rank - 1), v.end());
    return v[rank - 1];
}

Report& Report::instance() {
    static Report r;
    return r;
}

ActionFigures& Report::figures(const QString& key) {
    auto it = m_figures.find(key);
    if (it == m_figures.end()) {
        m_order.push_back(key);
        it = m_figures.emplace(key, ActionFigures{}).first;
        it->second.action = key;
    }
    return it->second;
}

void Report::declare(const QString& key, const QString& action, double goalMs, const QString& directSql) {
    ActionFigures& f = figures(key);
    f.action = action;
    f.goalMs = goalMs;
    f.directSql = directSql;
}

void Report::setProgram(const QString& key, const Samples& s) {
    figures(key).program = s;
}
void Report::setStore(const QString& key, const Samples& s) {
    figures(key).store = s;
}
void Report::setDirect(const QString& key, const Samples& s) {
    figures(key).direct = s;
}
bool Report::empty(const QString& key) const {
    const auto it = m_figures.find(key);
    return it == m_figures.end() ||
           (it->second.program.empty() && it->second.store.empty() && it->second.direct.empty());
}

void Report::addNote(const QString& line) {
    m_notes << line;
}

void Report::print() const {
    auto num = [](double v) { return QString::number(v, 'f', v >= 100 ? 0 : (v >= 10 ? 1 : (v >= 1 ? 2 : 3))); };
    auto cell = [&](const Samples& s, double (Samples::*what)() const) {
        return s.empty() ? QStringLiteral("-") : num((s.*what)());
    };
    auto ratio = [](double a, double b) { return b > 0 ? QString::number(a / b, 'f', 1) : QStringLiteral("-"); };
    const char* const format = "%-40s %4s | %8s %8s %8s | %8s %8s | %8s %8s | %6s %6s | %5s %s\n";
    std::printf("\n");
    std::printf(format, "", "", "program", "", "", "store", "", "SQLite", "", "ratio", "", "", "");
    std::printf(format, "Action", "n", "p50", "p95", "cpu p95", "p50", "p95", "p50", "p95", "x p50", "x p95", "goal",
                "met (p95 < goal)");
    std::printf("%s\n", QString(150, u'-').toUtf8().constData());
    for (const QString& key : m_order) {
        const ActionFigures& f = m_figures.at(key);
        if (f.program.empty() && f.store.empty() && f.direct.empty())
            continue;
        // Where no window is measured, the store's figures are what the goal and the ratio judge.
        const Samples& measured = f.program.empty() ? f.store : f.program;
        const bool both = !measured.empty() && !f.direct.empty();
        QString met = QStringLiteral("-");
        if (f.goalMs > 0 && !measured.empty())
            met = measured.p95() < f.goalMs ? QStringLiteral("yes") : QStringLiteral("NO");
        std::printf(format, f.action.toUtf8().constData(), qPrintable(QString::number(measured.size())),
                    qPrintable(cell(f.program, &Samples::median)), qPrintable(cell(f.program, &Samples::p95)),
                    f.program.hasCpu() ? qPrintable(num(f.program.cpuP95())) : "-",
                    qPrintable(cell(f.store, &Samples::median)), qPrintable(cell(f.store, &Samples::p95)),
                    qPrintable(cell(f.direct, &Samples::median)), qPrintable(cell(f.direct, &Samples::p95)),
                    both ? qPrintable(ratio(measured.median(), f.direct.median())) : "-",
                    both ? qPrintable(ratio(measured.p95(), f.direct.p95())) : "-",
                    f.goalMs > 0 ? qPrintable(num(f.goalMs)) : "-", qPrintable(met));
    }
    std::printf("\nTimes in milliseconds, one operation each. program: the real window driven by its controls, until "
                "it is repainted;\ncpu p95: the window thread's CPU time; store: the same store calls without the "
                "window; x: program (store where no window is measured) / SQLite.\nSQLite: the statement below, "
                "prepared, run and its row read on a "
                "connection of its own:\n");
    for (const QString& key : m_order) {
        const ActionFigures& f = m_figures.at(key);
        if (!f.directSql.isEmpty() && (!f.program.empty() || !f.direct.empty()))
            std::printf("  %-40s %s\n", f.action.toUtf8().constData(), f.directSql.toUtf8().constData());
    }
    for (const QString& n : m_notes)
        std::printf("%s\n", n.toUtf8().constData());
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------------------------

DirectSqlite::DirectSqlite(const QString& path) {
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(QStringLiteral("sqlite3_open_v2 %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    if (!registerProgramFunctions(m_db))
        fail(QStringLiteral("cannot register the program's collation"));
}

DirectSqlite::~DirectSqlite() {
    sqlite3_close_v2(m_db);
}

namespace {
// Binds the values in order: null, integer, or text (SQLITE_TRANSIENT: copied by SQLite).
void bindAll(sqlite3_stmt* st, const QVariantList& binds) {
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        if (v.isNull()) {
            sqlite3_bind_null(st, i + 1);
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            sqlite3_bind_int64(st, i + 1, v.toLongLong());
        } else {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
}
} // namespace

int DirectSqlite::scan(const char* sql, const QVariantList& binds, qint64* checksum) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
        fail(QStringLiteral("prepare %1: %2").arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(m_db))));
    bindAll(st, binds);
    int n = 0;
    int rc = 0;
    qint64 sum = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++n;
        const int cols = sqlite3_column_count(st);
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                sum += sqlite3_column_int64(st, c);
                break;
            case SQLITE_FLOAT:
                sum += qint64(sqlite3_column_double(st, c));
                break;
            case SQLITE_TEXT:
                // The text itself, as a caller reading it would have it.
                if (const unsigned char* t = sqlite3_column_text(st, c))
                    sum += t[0] + sqlite3_column_bytes(st, c);
                break;
            default:
                break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("step %1: %2").arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(m_db))));
    sqlite3_finalize(st);
    if (checksum)
        *checksum = sum;
    return n;
}

int DirectSqlite::run(const char* sql, const QVariantList& binds, std::vector<QVariantList>* rows) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
        fail(QStringLiteral("prepare %1: %2").arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(m_db))));
    bindAll(st, binds);
    int n = 0;
    int rc = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++n;
        const int cols = sqlite3_column_count(st);
        QVariantList row;
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                row << QVariant::fromValue<qint64>(sqlite3_column_int64(st, c));
                break;
            case SQLITE_TEXT:
                row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                         sqlite3_column_bytes(st, c));
                break;
            case SQLITE_FLOAT:
                row << sqlite3_column_double(st, c);
                break;
            default:
                row << QVariant();
            }
        }
        if (rows)
            rows->push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("step %1: %2").arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(m_db))));
    sqlite3_finalize(st);
    return n;
}

QStringList DirectSqlite::queryPlan(const QString& sql, const QVariantList& binds) {
    std::vector<QVariantList> rows;
    run(("EXPLAIN QUERY PLAN " + sql).toUtf8().constData(), binds, &rows);
    QStringList out;
    for (const QVariantList& r : rows)
        out << r.value(3).toString();
    return out;
}

// ---------------------------------------------------------------------------------------------

bool dropFromPageCache(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    ::fdatasync(fd);
    const bool ok = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

ProcessMemory processMemory(qint64 pid) {
    ProcessMemory m;
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const auto kb = [&] { return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0; };
        if (line.startsWith("VmRSS:"))
            m.residentMiB = kb();
        else if (line.startsWith("VmHWM:"))
            m.peakMiB = kb();
    }
    return m;
}

double loadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

double peakMemoryMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0; // kilobytes on Linux
}

double programPeakMemoryMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return peakMemoryMiB();
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0; // kB
    }
    return peakMemoryMiB();
}

double currentMemoryMiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2)
        return 0;
    return double(parts[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void publish(benchmark::State& state, const QString& key, const Samples& s, Column column) {
    state.counters["p50_ms"] = s.median();
    state.counters["p95_ms"] = s.p95();
    switch (column) {
    case Column::Program:
        Report::instance().setProgram(key, s);
        break;
    case Column::Store:
        Report::instance().setStore(key, s);
        break;
    case Column::Direct:
        Report::instance().setDirect(key, s);
        break;
    }
}

} // namespace obs::bench
