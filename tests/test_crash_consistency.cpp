// A workstation killed at random moments while it saves, appends and pays: after each kill the
// file opens, passes the integrity check, and holds exactly what was reported committed (plus, at
// most, the one operation under way, whole), its journal chained and agreeing with the acts.
#include "TestSupport.h"

#include "store/sqlite/Schema.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <map>

using namespace obs;
using obs::test::TempClinic;

namespace {

// What each act holds for the columns the writer touches: the figure of its last save or creation,
// and the sum paid over.
struct Expected {
    qint64 figure = 0;
    qint64 paid = 0;
    bool saved = false; // payments then hold the figure too
    friend bool operator==(const Expected&, const Expected&) = default;
};
using State = std::map<qint64, Expected>;

struct Operation {
    QChar kind; // A append, U save, R payment
    qint64 number = 0;
    qint64 value = 0;
};

void apply(State* state, const Operation& op, qint64 appendedNumber) {
    if (op.kind == u'A')
        (*state)[appendedNumber] = {op.value, 0, false};
    else if (op.kind == u'U') {
        (*state)[op.number].figure = op.value;
        (*state)[op.number].saved = true;
    } else
        (*state)[op.number].paid += op.value;
}

// The table as stored; false with a reason when a row mixes figures (written in part).
bool readState(Database& db, State* state, QString* why) {
    state->clear();
    bool whole = true;
    const Status s = db.queryRaw(
        QStringLiteral("SELECT NUMINT, Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, CCAM2, CCAM6, PRIX, DE, "
                       "PAYESECU, PAYECOMPLE, PAYEDE, ifnull(REVERSE, 0) FROM ACTES"),
        {}, [&](const Row& r) {
            const auto& v = r.values();
            auto text = [&](int i) { return v[i].toString(); };
            // The writer's amounts are k cents.
            const qint64 cents = v[10].toLongLong();
            const qint64 k = cents / (Money::Scale / 100);
            const QString t = QString::number(k);
            const bool saved = v[12].toLongLong() != 0;
            const bool consistent =
                text(1) == u'C' + t && text(2) == u'C' + t && v[3].toLongLong() == 40000 + k % 1000 &&
                text(4) == u'P' + t && text(5) == u'P' + t && text(6) == u'A' + t && text(7) == t && text(8) == t &&
                text(9) == t && v[11].toLongLong() == cents &&
                (saved ? v[12].toLongLong() == cents && v[13].toLongLong() == cents && v[14].toLongLong() == cents
                       : v[13].toLongLong() == 0 && v[14].toLongLong() == 0);
            if (!consistent) {
                *why = QStringLiteral("act %1 written in part").arg(v[0].toLongLong());
                whole = false;
                return false;
            }
            (*state)[v[0].toLongLong()] = {k, v[15].toLongLong(), saved};
            return true;
        });
    if (!s)
        *why = s.message;
    return s && whole;
}

} // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLeavesCommittedState();
};

void TestCrashConsistency::killedWriterLeavesCommittedState() {
    TempClinic clinic;
    clinic.db().close();
    const int kills =
        qEnvironmentVariableIntValue("OBSLEDGER_KILLS") > 0 ? qEnvironmentVariableIntValue("OBSLEDGER_KILLS") : 200;
    QRandomGenerator rng(20261207);
    State committed;
    int corruptOpens = 0, partialRows = 0, mismatches = 0, pendingLanded = 0, operations = 0, journalFaults = 0;
    for (int run = 0; run < kills; ++run) {
        QProcess writer;
        writer.setProgram(QStringLiteral(STORE_WRITER));
        const QString report = clinic.file(QStringLiteral("rapport.txt"));
        QFile::remove(report);
        writer.setArguments({QStringLiteral("crash"), clinic.dbPath(), QString::number(rng.generate()), report});
        writer.start();
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        // Wait for the first committed operation, then a random moment more, then kill it.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(report).size() > 0 || writer.state() != QProcess::Running, 10000);
        QThread::msleep(rng.bounded(40));
        writer.kill();
        writer.waitForFinished();
        QVERIFY2(writer.exitStatus() == QProcess::CrashExit, writer.readAllStandardError().constData());

        State before = committed;
        std::optional<Operation> pending;
        QFile reportFile(report);
        QVERIFY(reportFile.open(QIODevice::ReadOnly));
        const QByteArray output = reportFile.readAll();
        for (const QByteArray& raw : output.split('\n')) {
            const QList<QByteArray> f = raw.split(' ');
            if (f.size() < 4)
                continue; // the last line, cut by the kill
            QVERIFY2(f[0] != "F", raw.constData());
            const Operation op{QChar(f[1][0]), f[2].toLongLong(), f[3].toLongLong()};
            if (f[0] == "P") {
                pending = op;
            } else if (f[0] == "K") {
                apply(&committed, op, op.number);
                pending.reset();
                ++operations;
            }
        }

        QString why;
        if (!checkProgramDatabase(clinic.dbPath(), &why)) {
            ++corruptOpens;
            QFAIL(qPrintable(QStringLiteral("kill %1: %2").arg(run).arg(why)));
        }
        Status s;
        auto db = Database::open(clinic.dbPath(), &s);
        QVERIFY2(db, qPrintable(s.message));
        State stored;
        if (!readState(*db, &stored, &why)) {
            ++partialRows;
            QFAIL(qPrintable(QStringLiteral("kill %1: %2").arg(run).arg(why)));
        }
        // Every change has its journal entry, and no entry is without its change.
        const QStringList disagreements = obs::test::journalDisagreements(clinic.dbPath());
        if (!disagreements.isEmpty()) {
            ++journalFaults;
            QFAIL(qPrintable(QStringLiteral("kill %1: %2").arg(run).arg(disagreements.join(u'\n'))));
        }
        if (stored == committed)
            continue;
        // The operation under way at the kill may have been committed just before it.
        State landed = committed;
        bool matches = false;
        if (pending) {
            if (pending->kind == u'A') {
                for (const auto& [number, e] : stored) {
                    if (!committed.count(number) && e == Expected{pending->value, 0, false}) {
                        landed[number] = e;
                        break;
                    }
                }
            } else {
                apply(&landed, *pending, 0);
            }
            matches = stored == landed;
        }
        if (!matches) {
            ++mismatches;
            for (const auto& [n, e] : stored) {
                const Expected w = committed.count(n) ? committed[n] : Expected{};
                if (!(w == e))
                    qInfo("act %lld: stored %lld %lld %d, reported %lld %lld %d", n, e.figure, e.paid, e.saved,
                          w.figure, w.paid, w.saved);
            }
            QFAIL(qPrintable(QStringLiteral("kill %1: the file holds %2 acts, %3 were reported\n%4")
                                 .arg(run)
                                 .arg(stored.size())
                                 .arg(committed.size())
                                 .arg(QString::fromUtf8(output.right(400)))));
        }
        ++pendingLanded;
        committed = landed;
    }
    qInfo("kills: %d, operations reported committed: %d, corrupt opens: %d, partial rows: %d, "
          "committed operations missing or extra: %d, operations landed just before the kill: %d, journal "
          "disagreements: %d",
          kills, operations, corruptOpens, partialRows, mismatches, pendingLanded, journalFaults);
    QCOMPARE(corruptOpens, 0);
    QCOMPARE(partialRows, 0);
    QCOMPARE(mismatches, 0);
    QVERIFY(operations > kills);
}

QTEST_GUILESS_MAIN(TestCrashConsistency)
#include "test_crash_consistency.moc"
