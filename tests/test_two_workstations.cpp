// Two workstations saving, paying and adding acts on the same few acts at once: no save lost, no
// payment lost, every save either written or reported as changed elsewhere, every one journaled.
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

#include <map>
#include <set>

using namespace obs;
using obs::test::TempClinic;

class TestTwoWorkstations : public QObject {
    Q_OBJECT
private slots:
    void noLostUpdate();
};

void TestTwoWorkstations::noLostUpdate() {
    TempClinic clinic;
    for (int i = 0; i < 4; ++i)
        clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("depart%1").arg(i)},
                       {QStringLiteral("PRIX"), QVariant::fromValue<qint64>(1000000)}});
    // Every change of an act is written down by the base itself, in the order it happened.
    QVERIFY(clinic.db().executeRaw(QStringLiteral("CREATE TABLE HISTOIRE (n INTEGER, nom TEXT, prenom TEXT)")));
    QVERIFY(clinic.db().executeRaw(
        QStringLiteral("CREATE TRIGGER HISTOIRE_ACTES AFTER UPDATE OF Nom ON ACTES BEGIN INSERT INTO HISTOIRE "
                       "VALUES (NEW.NUMINT, NEW.Nom, NEW.Prenom); END")));
    // Acts added meanwhile start their chain with their name at creation.
    QVERIFY(
        clinic.db().executeRaw(QStringLiteral("CREATE TRIGGER HISTOIRE_AJOUT AFTER INSERT ON ACTES BEGIN INSERT INTO "
                                              "HISTOIRE VALUES (NEW.NUMINT, NEW.Nom, NULL); END")));
    clinic.db().close();

    const int ms = qEnvironmentVariableIntValue("OBSLEDGER_DUEL_MS") > 0
                       ? qEnvironmentVariableIntValue("OBSLEDGER_DUEL_MS")
                       : 4000;
    QProcess a, b;
    for (auto [p, tag, seed] : {std::tuple{&a, "a", "11"}, std::tuple{&b, "b", "22"}}) {
        p->setProgram(QStringLiteral(STORE_WRITER));
        p->setArguments({QStringLiteral("duel"), clinic.dbPath(), QString::fromLatin1(seed), QString::number(ms),
                         QString::fromLatin1(tag)});
        p->start();
        QVERIFY2(p->waitForStarted(), qPrintable(p->errorString()));
    }
    QVERIFY(a.waitForFinished(60000));
    QVERIFY(b.waitForFinished(60000));

    std::map<qint64, qint64> paid;
    std::set<QString> savedTokens;
    int saves = 0, changed = 0, payments = 0, appended = 0, failures = 0;
    QStringList failureLines;
    for (QProcess* p : {&a, &b}) {
        const QList<QByteArray> lines = p->readAllStandardOutput().split('\n');
        QVERIFY2(lines.contains("E"), "a workstation did not finish");
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split(' ');
            if (f[0] == "S") {
                ++saves;
                savedTokens.insert(QString::fromUtf8(f[2]));
            } else if (f[0] == "C") {
                ++changed;
            } else if (f[0] == "R") {
                ++payments;
                paid[f[1].toLongLong()] += f[2].toLongLong();
            } else if (f[0] == "A") {
                ++appended;
            } else if (f[0] == "F") {
                ++failures;
                failureLines << QString::fromUtf8(line);
            }
        }
    }

    Status s;
    auto db = Database::open(clinic.dbPath(), &s);
    QVERIFY2(db, qPrintable(s.message));
    // Payments: every sum reported paid is in the act's total.
    int lostPayments = 0;
    QVERIFY(db->queryRaw(QStringLiteral("SELECT NUMINT, ifnull(REVERSE, 0) FROM ACTES"), {}, [&](const Row& r) {
        const qint64 n = r.values().value(0).toLongLong();
        if (r.values().value(1).toLongLong() != (paid.count(n) ? paid[n] : 0))
            ++lostPayments;
        return true;
    }));
    // Saves: each one was made on the act as last written (its first name keeps the name it
    // replaced), each reported save is written once, and nothing reported changed was written.
    int lostUpdates = 0, unreported = 0;
    std::map<qint64, QString> last;
    std::set<QString> written;
    QVERIFY(db->queryRaw(QStringLiteral("SELECT n, nom, prenom FROM HISTOIRE ORDER BY rowid"), {}, [&](const Row& r) {
        const qint64 n = r.values().value(0).toLongLong();
        const QString name = r.values().value(1).toString();
        if (r.values().value(2).isNull()) {
            last[n] = name;
            return true;
        }
        const QString before = r.values().value(2).toString();
        const QString expected = last.count(n) ? last[n] : QStringLiteral("depart%1").arg(n - 1);
        if (before != expected) {
            ++lostUpdates;
            qWarning("act %lld: %s written over %s, which was not the act's name then", n, qPrintable(name),
                     qPrintable(before));
        }
        if (!savedTokens.count(name))
            ++unreported;
        written.insert(name);
        last[n] = name;
        return true;
    }));
    const int savesMissing = int(savedTokens.size()) - int(written.size());
    qInfo("two workstations for %d ms: %d saves written, %d reported changed elsewhere, %d payments, %d acts added, "
          "%d failures; lost updates: %d, saves reported but missing: %d, writes not reported: %d, lost payments: %d",
          ms, saves, changed, payments, appended, failures, lostUpdates, savesMissing, unreported, lostPayments);
    QVERIFY2(failures == 0, qPrintable(failureLines.join(u'\n')));
    QCOMPARE(lostUpdates, 0);
    QCOMPARE(savesMissing, 0);
    QCOMPARE(unreported, 0);
    QCOMPARE(lostPayments, 0);
    QVERIFY(saves > 0 && payments > 0);
    // Every save's payment and every sum paid over has its entry, in an unbroken chain.
    const QStringList disagreements = obs::test::journalDisagreements(clinic.dbPath());
    QVERIFY2(disagreements.isEmpty(), qPrintable(disagreements.join(u'\n')));
    qint64 entries = 0;
    QVERIFY(db->queryRaw(QStringLiteral("SELECT count(*) FROM JOURNAL"), {}, [&](const Row& r) {
        entries = r.values().value(0).toLongLong();
        return false;
    }));
    qInfo("journal: %lld entries, chain intact, every act's totals equal to its entries", entries);
}

QTEST_GUILESS_MAIN(TestTwoWorkstations)
#include "test_two_workstations.moc"
