// Another workstation holding the base: a write waits and tries again for about 10 s in all; when
// it finally fails, the user's typing stays on screen and nothing is written.
#include "TestSupport.h"

#include "app/RecordEditor.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <thread>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {

// Another workstation writing for `ms` milliseconds, from a thread of its own.
class OtherWorkstation {
public:
    OtherWorkstation(const QString& path, int ms) {
        Status s;
        m_db = Database::open(path, &s);
        if (!m_db || !m_db->executeRaw(QStringLiteral("BEGIN IMMEDIATE")))
            qFatal("cannot hold the base");
        m_thread = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            m_db->executeRaw(QStringLiteral("COMMIT"));
        });
    }
    ~OtherWorkstation() { m_thread.join(); }

private:
    std::shared_ptr<Database> m_db;
    std::thread m_thread;
};

} // namespace

class TestBusyBase : public QObject {
    Q_OBJECT
private slots:
    void writeOutlastsOneWait();
    void saveFailsKeepingTheTyping();
};

void TestBusyBase::writeOutlastsOneWait() {
    TempClinic clinic;
    Status s;
    auto store = Store::open(clinic.dbPath(), &s);
    QVERIFY2(store, qPrintable(s.message));
    QElapsedTimer clock;
    clock.start();
    OtherWorkstation other(clinic.dbPath(), 6500); // longer than one wait of 5 s
    Act act;
    act.surname = QStringLiteral("PATIENTE");
    qint64 number = 0;
    s = store->acts().append(act, &number);
    QVERIFY2(s, qPrintable(s.message));
    QVERIFY(clock.elapsed() >= 6000);
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestBusyBase::saveFailsKeepingTheTyping() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Marie"}});
    RecordEditor w(clinic.database(), clinic.browsed());
    QVERIFY(w.load());
    QTest::keyClicks(child<QLineEdit>(&w, "Text1"), "DUP");
    child<QLineEdit>(&w, "TxtPrenom")->setText(QStringLiteral("Marie-Claire"));
    child<QLineEdit>(&w, "TxtPSecu")->setText(QStringLiteral("219,8"));
    QElapsedTimer clock;
    clock.start();
    {
        OtherWorkstation other(clinic.dbPath(), 13000);
        Dialogs::queueAnswer(true);
        child<QPushButton>(&w, "CmdEnreg")->click();
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 9000 && waited < 12500, qPrintable(QString::number(waited)));
        QVERIFY2(Dialogs::lastText().contains(QStringLiteral("occupée")), qPrintable(Dialogs::lastText()));
        QCOMPARE(child<QLineEdit>(&w, "TxtPrenom")->text(), QStringLiteral("Marie-Claire"));
        QCOMPARE(child<QLineEdit>(&w, "TxtPSecu")->text(), QStringLiteral("219,8"));
    }
    QCOMPARE(clinic.scalar("SELECT Prenom FROM ACTES").toString(), QStringLiteral("Marie"));
    // Once the other workstation is done, the same typing is saved.
    Dialogs::queueAnswer(true);
    child<QPushButton>(&w, "CmdEnreg")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic.scalar("SELECT Prenom FROM ACTES").toString(), QStringLiteral("Marie-Claire"));
}

QTEST_MAIN(TestBusyBase)
#include "test_busy_base.moc"
