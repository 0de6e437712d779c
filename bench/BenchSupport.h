#pragma once

// Shared ground for the benchmarks: a clinic-sized database built once and kept, the program's
// settings pointed at it, an offscreen application, the real windows driven by their control
// names, per-operation timings (median, 95th percentile) and the figures table printed at the end
// beside the same SQL run straight through SQLite.

#include "store/sqlite/Database.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QApplication;
struct sqlite3;
namespace benchmark {
class State;
}

namespace obs::bench {

// ---------------------------------------------------------------------------------------------
// The database

// Folder of the kept databases: $OBSLEDGER_BENCH_DIR, else /tmp/obsledger-bench.
QString benchFolder();

// How many acts the clinic measured holds: $OBSLEDGER_BENCH_ROWS, else 1,000,000.
int wantedRows();

// A benchmark that saw the program do something else than expected says so (the first twenty
// times); the run then ends with 3.
void problem(const QString& what);
int problems();

// A program database with `rows` act records (names of the demonstration clinic, dates over the
// last 20 years) and the reference lists. Built once into benchFolder() and reused on later runs
// while it holds exactly that count (acts left behind by an interrupted run are removed first).
// The file name ends in "OBSLEDGER.mdb", so the main window's path test accepts it.
// Ends the process with a message when it cannot be built.
QString benchDatabase(int rows);

// Whether the last benchDatabase() call had to build the file (its memory then counts in this
// process's peak).
bool benchDatabaseWasBuilt();

// Acts added by a benchmark to be deleted again carry this surname; it sorts after every
// surname of the demonstration data, so typing it in the name search shows the act.
inline const QString kScratchSurname = QStringLiteral("ZZBENCH");

// Adds one scratch act through a connection of its own and returns its NUMINT.
qint64 addScratchAct(Database& db);

// ---------------------------------------------------------------------------------------------
// The program's surroundings

// The QApplication of the benchmark, created on first call with the offscreen platform unless
// QT_QPA_PLATFORM is already set; same application name as the program.
QApplication& benchApplication(int& argc, char** argv);

// A settings folder of its own (XDG_CONFIG_HOME) and application folder (OBSLEDGER_APPDIR) in a
// temporary folder, "CHEMIN" pointing at the database, message boxes in testing mode so that
// nothing blocks. Child processes started afterwards inherit the same settings.
class BenchClinic {
public:
    explicit BenchClinic(const QString& databasePath);
    ~BenchClinic();
    BenchClinic(const BenchClinic&) = delete;
    BenchClinic& operator=(const BenchClinic&) = delete;

    QString databasePath() const { return m_databasePath; }
    // A connection of the benchmark's own, for fixtures (scratch acts, reading rows back).
    Database& db();

private:
    QTemporaryDir m_dir;
    QString m_databasePath;
    std::shared_ptr<Database> m_db;
};

// ---------------------------------------------------------------------------------------------
// Driving the windows

// A named control; ends the process when absent (the benchmark would measure nothing).
template <class T> T* control(const QWidget* window, const char* name) {
    T* w = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!w)
        qFatal("control %s not found in %s", name, window ? qPrintable(window->objectName()) : "(no window)");
    return w;
}

// One key typed into a widget, press and release, as the keyboard sends it.
void typeCharacter(QWidget* widget, QChar c);

// Lets the application handle what the last action posted (repaint of the changed controls).
void settle();

// Waits (processing events, at most timeoutMs) until the window is shown and exposed.
bool waitExposed(QWidget* window, int timeoutMs = 5000);

// ---------------------------------------------------------------------------------------------
// Timing

using Clock = std::chrono::steady_clock;

inline double elapsedMs(Clock::time_point from, Clock::time_point to = Clock::now()) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time used by this thread so far, in milliseconds.
double threadCpuMs();

// Per-operation durations in milliseconds: wall-clock time, and the CPU time of the thread when
// known (a wall time far above it was spent waiting: the disk, or other programs on the machine).
class Samples {
public:
    void add(double ms, double cpuMs = -1);
    bool empty() const { return m_ms.empty(); }
    size_t size() const { return m_ms.size(); }
    double median() const { return percentile(m_ms, 50); }
    double p95() const { return percentile(m_ms, 95); }
    double max() const;
    bool hasCpu() const { return !m_cpu.empty(); }
    double cpuMedian() const { return percentile(m_cpu, 50); }
    double cpuP95() const { return percentile(m_cpu, 95); }
    // Nearest-rank percentile (0 < p <= 100).
    static double percentile(std::vector<double> v, double p);

private:
    std::vector<double> m_ms;
    std::vector<double> m_cpu;
};

// Times one operation: started when made, lap() adds the wall and CPU time to the samples and
// hands the wall time to Google Benchmark (benchmarks registered with UseManualTime()).
class Stopwatch {
public:
    Stopwatch() : m_start(Clock::now()), m_cpuStart(threadCpuMs()) {}
    double lap(benchmark::State& state, Samples& samples) const;
    Clock::time_point started() const { return m_start; }

private:
    Clock::time_point m_start;
    double m_cpuStart;
};

// The figures of one action: the program's (window included), the store's alone (the calls the
// window makes, without the display) and the same SQL through SQLite directly.
struct ActionFigures {
    QString action;
    QString directSql; // what the SQLite column measures
    Samples program;
    Samples store;
    Samples direct;
    double goalMs = 0; // 0: no goal
};

// The table printed at the end of a benchmark program.
class Report {
public:
    static Report& instance();

    // Declares an action in the order the table shows it.
    void declare(const QString& key, const QString& action, double goalMs, const QString& directSql);
    void setProgram(const QString& key, const Samples& s);
    void setStore(const QString& key, const Samples& s);
    void setDirect(const QString& key, const Samples& s);
    void addNote(const QString& line);
    // Whether an action has no figures yet.
    bool empty(const QString& key) const;

    void print() const;

private:
    ActionFigures& figures(const QString& key);
    std::vector<QString> m_order;
    std::map<QString, ActionFigures> m_figures;
    QStringList m_notes;
};

// ---------------------------------------------------------------------------------------------
// SQLite without the program in between

// A raw connection with the program's collation and LIKE registered (the indexes need them).
class DirectSqlite {
public:
    explicit DirectSqlite(const QString& path);
    ~DirectSqlite();
    DirectSqlite(const DirectSqlite&) = delete;
    DirectSqlite& operator=(const DirectSqlite&) = delete;
    sqlite3* handle() const { return m_db; }

    // Prepares, binds (qint64 or text), steps every row reading every column, finalizes: what a
    // caller pays for one statement. Returns the rows seen; ends the process on an engine error.
    int run(const char* sql, const QVariantList& binds = {}, std::vector<QVariantList>* rows = nullptr);

    // Prepares, binds, steps every row reading each column with sqlite3_column_* (no conversion to
    // Qt types), finalizes: what the engine alone costs. Returns the rows seen; *checksum mixes
    // what was read, so that nothing is optimised away.
    int scan(const char* sql, const QVariantList& binds = {}, qint64* checksum = nullptr);

    // The lines of EXPLAIN QUERY PLAN for a statement.
    QStringList queryPlan(const QString& sql, const QVariantList& binds = {});

private:
    sqlite3* m_db = nullptr;
};

// Which column of the figures table a measurement fills.
enum class Column { Program, Store, Direct };
// Hands the median and 95th percentile to Google Benchmark's counters and to the figures table.
void publish(benchmark::State& state, const QString& key, const Samples& s, Column column);

// ---------------------------------------------------------------------------------------------
// Memory

// Drops a file's pages from the page cache (posix_fadvise POSIX_FADV_DONTNEED, no root needed), so
// that the next process to read it reads it from the disk. False when the file cannot be opened.
bool dropFromPageCache(const QString& path);

// Resident memory of a process (this one when pid is 0): VmRSS now and VmHWM, its peak, in MiB.
struct ProcessMemory {
    double residentMiB = 0;
    double peakMiB = 0;
};
ProcessMemory processMemory(qint64 pid = 0);

// The machine's load average over the last minute (other programs skew the 95th percentiles).
double loadAverage();

// Peak resident memory of this process (getrusage ru_maxrss), in MiB. In a child started with
// fork and exec this still holds the parent's peak: use programPeakMemoryMiB() there.
double peakMemoryMiB();
// Peak resident memory of the running program image (VmHWM of /proc/self/status), in MiB.
double programPeakMemoryMiB();
// Resident memory now (/proc/self/statm), in MiB.
double currentMemoryMiB();

} // namespace obs::bench
