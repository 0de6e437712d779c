// What another workstation changes reaches the screens of this one while they are open: the act
// shown, the record buttons, the search screen's found list. The other workstation is a connection
// of the test's own (or the installer's tool), on the file or on the server.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "store/Bulk.h"
#include "store/ChangeWatch.h"
#include "store/postgres/PgChangeNotices.h"
#include "store/postgres/PgConnection.h"
#include "widgets/Dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::euros;
using obs::test::TempClinic;

namespace {

// Within what a person at the other workstation would call "at once".
constexpr int kVisibleWithinMs = 2000;
// Long enough for the file's watch to have read its count at least once.
constexpr int kQuietMs = 2 * ChangeWatch::kFilePollMs + 200;

struct Window {
    std::unique_ptr<RecordEditor> form;
    explicit Window(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QLabel* label(const char* n) const { return child<QLabel>(form.get(), n); }
    QPushButton* button(const char* n) const { return child<QPushButton>(form.get(), n); }
    void type(const char* text) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(text)); }
    QString shownName() const { return edit("TxtNom")->text(); }
    bool noteShown() const { return !label("LblAutrePoste")->isHidden(); }
    bool reloadOffered() const { return !button("CmdRecharger")->isHidden(); }
};

qint64 addNamed(TempClinic& clinic, const QString& name, const QString& price = QStringLiteral("100")) {
    return clinic.addAct({{QStringLiteral("Nom"), name},
                          {QStringLiteral("Prenom"), QStringLiteral("Anne")},
                          {QStringLiteral("Date"), 38353},
                          {QStringLiteral("PRIX"), euros(price)},
                          {QStringLiteral("DE"), euros(QStringLiteral("0"))},
                          {QStringLiteral("PAYESECU"), euros(QStringLiteral("0"))},
                          {QStringLiteral("PAYECOMPLE"), euros(QStringLiteral("0"))},
                          {QStringLiteral("PAYEDE"), euros(QStringLiteral("0"))}});
}

// A statement of another workstation: amounts as stored (1/10000 euro).
QString paySecu(qint64 act, int euros) {
    return QStringLiteral("UPDATE ACTES SET PAYESECU = %1 WHERE NUMINT = %2").arg(qint64(euros) * 10000).arg(act);
}

QString removeAct(qint64 act) {
    return QStringLiteral("DELETE FROM ACTES WHERE NUMINT = %1").arg(act);
}

} // namespace

class TestLiveRefresh : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }

    void shownActFollowsOtherWorkstation();
    void unsavedTypingStaysUntilReload();
    void deletedElsewhereMovesToNeighbour_data();
    void deletedElsewhereMovesToNeighbour();
    void deletedElsewhereLeavesOtherResultAlone();
    void deletedElsewhereWithTyping();
    void ownSaveAndOtherActsLeaveTypingAlone();
    void changeByAnotherStore();
    void watchReportsOthersOnly();
    void recordButtonsAndSearchSeeNewActs();
    void searchScreenSaysListChanged();

    // The server's announcements themselves.
    void serverAnnouncesOncePerStatement();
    void upgradeInstallsAnnouncements();
    void listenerComesBackAfterLoss();
};

void TestLiveRefresh::shownActFollowsOtherWorkstation() {
    TempClinic clinic;
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    Window w(clinic);
    w.type("B");
    QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("0"));
    clinic.execute(paySecu(n, 30));
    QTRY_COMPARE_WITH_TIMEOUT(w.edit("TxtPSecu")->text(), QStringLiteral("30"), kVisibleWithinMs);
    QCOMPARE(w.label("LblPTotal")->text(), QStringLiteral("30 €"));
    QVERIFY(!w.noteShown());
    // And again: every change, not only the first.
    clinic.execute(paySecu(n, 45));
    QTRY_COMPARE_WITH_TIMEOUT(w.edit("TxtPSecu")->text(), QStringLiteral("45"), kVisibleWithinMs);
    // Shown again as stored: a save then writes over nothing it did not see.
    w.edit("TxtPCompl")->setText(QStringLiteral("5"));
    Dialogs::queueAnswer(true);
    w.button("CmdEnreg")->click();
    QCOMPARE(Dialogs::shownTexts().last(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT PAYESECU FROM ACTES WHERE NUMINT = %1").arg(n)).toLongLong(), 450000);
    QCOMPARE(Dialogs::shownTexts(), (QStringList{QStringLiteral("Voulez vous vraiment modifier cette Fiche ?"),
                                                 QStringLiteral("Fiche modifiée")}));
}

void TestLiveRefresh::unsavedTypingStaysUntilReload() {
    TempClinic clinic;
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    Window w(clinic);
    w.type("B");
    w.edit("TxtPCompl")->setText(QStringLiteral("12,5"));
    clinic.execute(paySecu(n, 30));
    QTRY_VERIFY_WITH_TIMEOUT(w.noteShown(), kVisibleWithinMs);
    QCOMPARE(w.label("LblAutrePoste")->text(), QStringLiteral("Cette fiche a été modifiée sur un autre poste"));
    QVERIFY(w.reloadOffered());
    QCOMPARE(w.button("CmdRecharger")->text(), QStringLiteral("Recharger"));
    // The typing stays, and nothing was asked.
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("12,5"));
    QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("0"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    w.button("CmdRecharger")->click();
    QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("30"));
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("0"));
    QVERIFY(!w.noteShown());
    QVERIFY(!w.reloadOffered());
    QVERIFY(!w.label("LblNonEnregistre")->isVisible());
}

void TestLiveRefresh::deletedElsewhereMovesToNeighbour_data() {
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("neighbour");
    // Reached by the search box: the record buttons stand on it and go on from there.
    QTest::newRow("middle") << "BE"
                            << "BERNARD"
                            << "COLIN";
    QTest::newRow("last goes back") << "CO"
                                    << "COLIN"
                                    << "BERNARD";
    QTest::newRow("first") << "A"
                           << "ARNAUD"
                           << "BERNARD";
}

void TestLiveRefresh::deletedElsewhereMovesToNeighbour() {
    QFETCH(QString, search);
    QFETCH(QString, deleted);
    QFETCH(QString, neighbour);
    TempClinic clinic;
    std::map<QString, qint64> numbers;
    for (const char* name : {"ARNAUD", "BERNARD", "COLIN"})
        numbers[QString::fromLatin1(name)] = addNamed(clinic, QString::fromLatin1(name));
    Window w(clinic);
    w.type(search.toUtf8().constData());
    QCOMPARE(w.shownName(), deleted);
    clinic.execute(removeAct(numbers[deleted]));
    QTRY_COMPARE_WITH_TIMEOUT(w.shownName(), neighbour, kVisibleWithinMs);
    QCOMPARE(w.label("LblNumero")->text(), QString::number(numbers[neighbour]));
    // Said on the window, not in a message box.
    QVERIFY(w.noteShown());
    QVERIFY(w.label("LblAutrePoste")->text().contains(deleted));
    QVERIFY(w.label("LblAutrePoste")->text().contains(QStringLiteral("supprimée sur un autre poste")));
    QVERIFY(!w.reloadOffered());
    QVERIFY(Dialogs::shownTexts().isEmpty());
    // The next record button goes on from the act shown; the note goes.
    w.button("Command1")->click();
    QCOMPARE(w.shownName(), deleted == QLatin1String("ARNAUD") ? QStringLiteral("BERNARD") : QStringLiteral("ARNAUD"));
    QVERIFY(!w.noteShown());
}

void TestLiveRefresh::deletedElsewhereLeavesOtherResultAlone() {
    // An act opened from the search screen while the record buttons follow a reference list (the
    // editor's, shared): the neighbour is shown, and the editor's result stays where it was.
    TempClinic clinic;
    addNamed(clinic, QStringLiteral("ARNAUD"));
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    addNamed(clinic, QStringLiteral("COLIN"));
    clinic.addMemo(1, QStringLiteral("Dr X"));
    Window w(clinic);
    const BrowseQuery practitioners = BrowseQuery::reference(ReferenceList::Practitioners, ReferenceOrder::AsStored);
    QVERIFY(clinic.browsed().open(*clinic.database().store(), practitioners));
    w.form->openAct(n);
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    clinic.execute(removeAct(n));
    QTRY_COMPARE_WITH_TIMEOUT(w.shownName(), QStringLiteral("COLIN"), kVisibleWithinMs);
    QVERIFY(w.noteShown());
    QVERIFY(clinic.browsed().query() == practitioners);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestLiveRefresh::deletedElsewhereWithTyping() {
    TempClinic clinic;
    addNamed(clinic, QStringLiteral("ARNAUD"));
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    addNamed(clinic, QStringLiteral("COLIN"));
    Window w(clinic);
    w.type("BE");
    w.edit("TxtPDE")->setText(QStringLiteral("40"));
    clinic.execute(removeAct(n));
    QTRY_VERIFY_WITH_TIMEOUT(w.noteShown(), kVisibleWithinMs);
    QCOMPARE(w.label("LblAutrePoste")->text(), QStringLiteral("Cette fiche a été supprimée sur un autre poste"));
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    QCOMPARE(w.edit("TxtPDE")->text(), QStringLiteral("40"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    w.button("CmdRecharger")->click();
    QCOMPARE(w.shownName(), QStringLiteral("COLIN"));
    QVERIFY(!w.noteShown());
}

void TestLiveRefresh::ownSaveAndOtherActsLeaveTypingAlone() {
    // Neither this workstation's own save nor a change of another act is taken for a change of the
    // act shown: the typing is not interrupted by a false note.
    TempClinic clinic;
    addNamed(clinic, QStringLiteral("BERNARD"));
    const qint64 other = addNamed(clinic, QStringLiteral("COLIN"));
    clinic.useWorkstationLogin(); // the announcements made with a workstation's rights
    Window w(clinic);
    w.type("B");
    w.edit("TxtPSecu")->setText(QStringLiteral("20"));
    Dialogs::queueAnswer(true);
    w.button("CmdEnreg")->click();
    QCOMPARE(Dialogs::shownTexts().last(), QStringLiteral("Fiche modifiée"));
    w.edit("TxtPCompl")->setText(QStringLiteral("7"));
    clinic.execute(paySecu(other, 99));
    QTest::qWait(kQuietMs);
    QVERIFY(!w.noteShown());
    QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("20"));
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("7"));
    QCOMPARE(Dialogs::shownTexts().size(), 2); // the save's question and its answer
}

void TestLiveRefresh::changeByAnotherStore() {
    // Another workstation going through the program's own data layer.
    TempClinic clinic;
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    Window w(clinic);
    w.type("B");
    Status s;
    const std::shared_ptr<Store> other = Store::open(clinic.location(), &s);
    QVERIFY2(other, qPrintable(s.message));
    Act act;
    bool found = false;
    QVERIFY(other->acts().find(n, &act, &found) && found);
    Act edited = act;
    edited.firstName = QStringLiteral("Zoé");
    QVERIFY(other->acts().update(act, edited, false));
    QTRY_COMPARE_WITH_TIMEOUT(w.edit("TxtPrenom")->text(), QStringLiteral("Zoé"), kVisibleWithinMs);
}

void TestLiveRefresh::watchReportsOthersOnly() {
    // The shared store's own writes are never reported; another connection's are, with the act's
    // number where the base names it.
    TempClinic clinic;
    const qint64 n = addNamed(clinic, QStringLiteral("BERNARD"));
    SharedDatabase shared;
    QVERIFY(shared.open(clinic.location()));
    std::vector<StoreChanges> reported;
    QObject::connect(&shared.changes(), &ChangeWatch::changed, [&](const StoreChanges& c) { reported.push_back(c); });
    QTest::qWait(kQuietMs); // a server's listener says once that it starts listening
    reported.clear();
    const auto payOn = [n](Store& store, int euros) {
        Act act;
        bool found = false;
        QVERIFY(store.acts().find(n, &act, &found) && found);
        Act edited = act;
        edited.paidSecu = Money::fromEuros(euros);
        QVERIFY(store.acts().update(act, edited, false));
    };
    payOn(*shared.store(), 10);
    QTest::qWait(kQuietMs);
    QCOMPARE(reported.size(), size_t(0));
    Status s;
    const std::shared_ptr<Store> other = Store::open(clinic.location(), &s);
    QVERIFY2(other, qPrintable(s.message));
    payOn(*other, 20);
    QTRY_COMPARE_WITH_TIMEOUT(reported.size(), size_t(1), kVisibleWithinMs);
    QVERIFY(reported[0].mayConcern(n));
    QVERIFY(!reported[0].references);
    if (clinic.onServer())
        QCOMPARE(reported[0].acts, std::set<qint64>{n});
    // A reference list changed elsewhere; the screens' store opened anew in between loses nothing.
    reported.clear();
    ReferenceEntry practitioner;
    practitioner.label = QStringLiteral("Dr Y");
    QVERIFY(other->references().add(practitioner));
    QVERIFY(shared.open(clinic.location()));
    QTRY_COMPARE_WITH_TIMEOUT(reported.size(), size_t(1), kVisibleWithinMs);
    QVERIFY(clinic.onServer() ? reported[0].references && !reported[0].actsMayHaveChanged() : reported[0].unknown);
}

void TestLiveRefresh::recordButtonsAndSearchSeeNewActs() {
    TempClinic clinic;
    addNamed(clinic, QStringLiteral("BERNARD"));
    Window w(clinic);
    w.type("B");
    // Acts added elsewhere after the search: the record buttons and the search box find them.
    const qint64 colin = addNamed(clinic, QStringLiteral("COLIN"));
    w.button("Command4")->click();
    QCOMPARE(w.shownName(), QStringLiteral("COLIN"));
    addNamed(clinic, QStringLiteral("ARNAUD"));
    w.button("Command3")->click();
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    w.button("Command3")->click();
    QCOMPARE(w.shownName(), QStringLiteral("ARNAUD"));
    addNamed(clinic, QStringLiteral("ZOLA"));
    w.edit("Text1")->clear();
    w.type("Z");
    QCOMPARE(w.shownName(), QStringLiteral("ZOLA"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    Q_UNUSED(colin);
}

void TestLiveRefresh::searchScreenSaysListChanged() {
    obs::test::ClinicWithRates clinic;
    addNamed(clinic, QStringLiteral("BERNARD"));
    obs::test::SearchScreen s(clinic);
    QLabel* notice = child<QLabel>(s.form, "LblListeChangee");
    QPushButton* again = child<QPushButton>(s.form, "CmdRechercherANouveau");
    QCOMPARE(notice->text(), QStringLiteral("La liste a changé depuis la recherche"));
    QCOMPARE(again->text(), QStringLiteral("Rechercher à nouveau"));
    // Before any search there is no list to be out of date.
    addNamed(clinic, QStringLiteral("ARNAUD"));
    QTest::qWait(kQuietMs);
    QVERIFY(!notice->isVisibleTo(s.form));
    s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
    s.click("Command2");
    QCOMPARE(s.caption("Label1"), QStringLiteral("2"));
    QVERIFY(!notice->isVisibleTo(s.form));
    addNamed(clinic, QStringLiteral("COLIN"), QStringLiteral("50"));
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisibleTo(s.form), kVisibleWithinMs);
    // The list on screen stays what it was until the user asks again.
    QCOMPARE(s.caption("Label1"), QStringLiteral("2"));
    again->click();
    QCOMPARE(s.caption("Label1"), QStringLiteral("3"));
    QCOMPARE(s.caption("LblTotalActes"), QStringLiteral("250 €"));
    QVERIFY(!notice->isVisibleTo(s.form));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

namespace {
// The announcements a listener hears, gathered.
struct Heard {
    std::vector<ServerNotice> notices;
    int resumed = 0;
    std::unique_ptr<PgChangeListener> listener;
    explicit Heard(const QString& conninfo)
        : listener(std::make_unique<PgChangeListener>(
              conninfo,
              [this](const std::vector<ServerNotice>& n) { notices.insert(notices.end(), n.begin(), n.end()); },
              [this] { ++resumed; })) {}
    QStringList payloads() const {
        QStringList out;
        for (const auto& n : notices)
            out << n.payload;
        return out;
    }
};
} // namespace

void TestLiveRefresh::serverAnnouncesOncePerStatement() {
    OBS_REQUIRE_SERVER();
    obs::test::TempServerDatabase server;
    Heard heard(server.conninfo());
    QTRY_VERIFY_WITH_TIMEOUT(heard.listener->isListening(), 5000);
    PgConnection& db = server.connection();
    // A load: a thousand acts in two statements of one transaction, announced once.
    QVERIFY(db.script(QStringLiteral("BEGIN; INSERT INTO actes (nom) SELECT 'N' || g FROM generate_series(1, 500) g; "
                                     "INSERT INTO actes (nom) SELECT 'M' || g FROM generate_series(1, 500) g; "
                                     "COMMIT")));
    QTRY_COMPARE_WITH_TIMEOUT(heard.payloads(), QStringList{QStringLiteral("actes")}, 2000);
    heard.notices.clear();
    // A few acts are named; a statement that wrote nothing says nothing; MEMO is its own.
    QVERIFY(db.script(QStringLiteral("UPDATE actes SET prix = 1 WHERE numint IN (3, 7)")));
    QVERIFY(db.script(QStringLiteral("UPDATE actes SET prix = 1 WHERE numint = -1")));
    QVERIFY(db.script(QStringLiteral("DELETE FROM actes WHERE numint = 9")));
    QVERIFY(db.script(QStringLiteral("INSERT INTO memo (numeros, texte) VALUES (1, 'DR X')")));
    // Rolled back: never announced.
    QVERIFY(db.script(QStringLiteral("BEGIN; DELETE FROM actes WHERE numint = 11; ROLLBACK")));
    QVERIFY(db.script(QStringLiteral("TRUNCATE actes")));
    QTRY_COMPARE_WITH_TIMEOUT(heard.payloads().size(), 4, 2000);
    QCOMPARE(heard.payloads(), (QStringList{QStringLiteral("actes:3,7"), QStringLiteral("actes:9"),
                                            QStringLiteral("memo"), QStringLiteral("actes")}));
    const StoreChanges named = changesAnnounced(QStringLiteral("actes:3,7"));
    QVERIFY(named.mayConcern(7) && !named.mayConcern(8) && !named.references);
    QVERIFY(changesAnnounced(QStringLiteral("actes")).mayConcern(8));
    QVERIFY(changesAnnounced(QStringLiteral("memo")).references);
    QVERIFY(!changesAnnounced(QStringLiteral("memo")).actsMayHaveChanged());
    QCOMPARE(heard.resumed, 1); // when it started listening
}

void TestLiveRefresh::upgradeInstallsAnnouncements() {
    OBS_REQUIRE_SERVER();
    obs::test::TempServerDatabase server;
    PgConnection& db = server.connection();
    QVERIFY(hasServerChangeNotices(db));
    // A base made before the announcements.
    QVERIFY(db.script(QStringLiteral("DROP TRIGGER obs_annonce_ajout ON actes; DROP TRIGGER obs_annonce_modif ON "
                                     "actes; DROP TRIGGER obs_annonce_suppr ON actes; DROP TRIGGER "
                                     "obs_annonce_vidage ON actes; DROP TRIGGER obs_annonce_memo ON memo")));
    QVERIFY(!hasServerChangeNotices(db));
    const obs::test::ProgramRun run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                                            {QStringLiteral("upgrade"), server.conninfo()});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QVERIFY(hasServerChangeNotices(db));
    // Upgrading again replaces them: still one of each.
    QVERIFY(upgradeBase(server.conninfo()));
    Heard heard(server.conninfo());
    QTRY_VERIFY_WITH_TIMEOUT(heard.listener->isListening(), 5000);
    QVERIFY(db.script(QStringLiteral("INSERT INTO actes (nom) VALUES ('A')")));
    QTRY_COMPARE_WITH_TIMEOUT(heard.payloads().size(), 1, 2000);
    QVERIFY(heard.payloads().first().startsWith(QStringLiteral("actes:")));
}

void TestLiveRefresh::listenerComesBackAfterLoss() {
    // The listening connection ended by the server (as a restart does): it connects again and
    // says that what was announced meanwhile was missed.
    OBS_REQUIRE_SERVER();
    obs::test::TempServerDatabase server;
    Heard heard(server.conninfo());
    QTRY_VERIFY_WITH_TIMEOUT(heard.listener->isListening(), 5000);
    QVERIFY(server.connection().script(
        QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = "
                       "'obsledger (annonces)' AND datname = current_database()")));
    QCOMPARE(heard.resumed, 1);
    QTRY_COMPARE_WITH_TIMEOUT(heard.resumed, 2, PgChangeListener::kRetryMs + 5000);
    QVERIFY(heard.listener->isListening());
    QVERIFY(server.connection().script(QStringLiteral("DELETE FROM memo")));
    QTRY_COMPARE_WITH_TIMEOUT(heard.payloads(), QStringList{QStringLiteral("memo")}, 2000);
}

QTEST_MAIN(TestLiveRefresh)
#include "test_live_refresh.moc"
