// The store: the program's SQL texts, the text order, LIKE, the keyset cursor and its edges.
#include "TestSupport.h"

#include "common/Money.h"
#include "store/sqlite/Collation.h"
#include "store/sqlite/Cursor.h"
#include "store/sqlite/Schema.h"
#include "store/SharedStore.h"
#include "store/SqlText.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace obs;
using obs::test::TempClinic;

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void adaptSql_data();
    void adaptSql();
    void collationOrder();
    void collationEquality_data();
    void collationEquality();
    void like_data();
    void like();
    void programQueries();
    void cursorMovesAndEdges();
    void cursorFindFirst();
    void cursorStepsThroughSharedNames();
    void cursorEmptyAndDeletedRows();
    void cursorOnClosedDatabase();
    void numbersNeverReused();
    void newRowDefaultsAndMemoIndex();
    void quotingKeepsTypedTextWhole();
    void openNeverCreates();
    void integrityCheckNeedsCollation();
    void moneySumsAreExact();
    void likePrefilterKeepsMatches();
    void cursorRefusesUnknownOrder();
};

void TestStore::adaptSql_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("adapted");
    QTest::newRow("number glued to AND") << "WHERE DATE BETWEEN 38353 And 40543AND (ACTES.NF = 'N')"
                                         << "WHERE DATE BETWEEN 38353 And 40543 AND (ACTES.NF = 'N')";
    QTest::newRow("LIKE without wildcard is an equality of base letters")
        << "(ACTES.MEDSUIT LIKE 'Dr D''ORVAL')"
        << "((ACTES.MEDSUIT = 'Dr D''ORVAL' COLLATE FRENCH_PRIMARY))";
    QTest::newRow("LIKE with wildcards left to LIKE") << "ACTE LIKE 'CES*'"
                                                      << "ACTE LIKE 'CES*'";
    QTest::newRow("other wildcards left to LIKE") << "NOM LIKE 'D?P*'"
                                                  << "NOM LIKE 'D?P*'";
    QTest::newRow("LIKE inside a literal untouched") << "NOM = 'x LIKE ''y'''"
                                                     << "NOM = 'x LIKE ''y'''";
    QTest::newRow("column names with digits stay") << "SELECT CCAM1, MUT6 FROM MEMO"
                                                   << "SELECT CCAM1, MUT6 FROM MEMO";
    QTest::newRow("INDEX column") << "SELECT*FROM MEMO WHERE NUMEROS = 2 ORDER by INDEX"
                                  << "SELECT*FROM MEMO WHERE NUMEROS = 2 ORDER by \"INDEX\"";
    QTest::newRow("quoted text untouched") << "TEXTE='12AND INDEX'"
                                           << "TEXTE='12AND INDEX'";
    QTest::newRow("doubled apostrophe") << "NOM>='D''ALMEIDA'"
                                        << "NOM>='D''ALMEIDA'";
    QTest::newRow("no blank before =") << "SELECT*FROM ACTES WHERE NUMINT=12"
                                       << "SELECT*FROM ACTES WHERE NUMINT=12";
}

void TestStore::adaptSql() {
    QFETCH(QString, sql);
    QFETCH(QString, adapted);
    QCOMPARE(obs::adaptSql(sql), adapted);
}

void TestStore::collationOrder() {
    QStringList names{"LEMAIRE", "léger", "LEFEBVRE", "DURAND", "dupont", "Dubois", "LEGER", "ŒUVRE", "OEUVRE", "ODIN"};
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return frenchCompare(a, b) < 0; });
    QCOMPARE(names, (QStringList{"Dubois", "dupont", "DURAND", "LEFEBVRE", "LEGER", "léger", "LEMAIRE", "ODIN",
                                 "OEUVRE", "ŒUVRE"}));
}

void TestStore::collationEquality_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("case ignored") << "DUPONT"
                                  << "dupont" << 0;
    QTest::newRow("accent decides last") << "Cesarienne"
                                         << "Césarienne" << -1;
    QTest::newRow("base letter first") << "LÉGER"
                                       << "LEMAIRE" << -1;
    QTest::newRow("accented vs plain next letter") << "LÉGER"
                                                   << "LEFEBVRE" << 1;
    QTest::newRow("prefix") << "DU"
                            << "DUBOIS" << -1;
    QTest::newRow("accented case ignored") << "ÉLISE"
                                           << "élise" << 0;
    QTest::newRow("empty") << ""
                           << "A" << -1;
}

void TestStore::collationEquality() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int c = frenchCompare(a, b);
    QCOMPARE((c > 0) - (c < 0), sign);
    const int r = frenchCompare(b, a);
    QCOMPARE((r > 0) - (r < 0), -sign);
}

void TestStore::like_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("exact any case") << "mart"
                                    << "MART" << true;
    QTest::newRow("exact not prefix") << "MART"
                                      << "MARTIN" << false;
    QTest::newRow("accent ignored") << "CES*"
                                    << "Césarienne" << true;
    QTest::newRow("accent in pattern") << "élise"
                                       << "ELISE" << true;
    QTest::newRow("star prefix") << "Ces*"
                                 << "CESARIENNE programmée" << true;
    QTest::newRow("question mark") << "DUP?NT"
                                   << "DUPONT" << true;
    QTest::newRow("hash digit") << "JQGD01#"
                                << "JQGD010" << true;
    QTest::newRow("class") << "[DM]*"
                           << "MARTIN" << true;
    QTest::newRow("negated class") << "[!DM]*"
                                   << "MARTIN" << false;
    QTest::newRow("percent is literal") << "50%"
                                        << "500" << false;
    QTest::newRow("apostrophe") << "Dr D'ORVAL"
                                << "dr d'orval" << true;
    QTest::newRow("empty pattern") << ""
                                   << "" << true;
    QTest::newRow("empty pattern, text") << ""
                                         << "A" << false;
    QTest::newRow("ligature written out") << "OEUVRE"
                                          << "Œuvre" << true;
    QTest::newRow("star in the middle") << "Dr *TIN"
                                        << "DR MARTIN" << true;
    QTest::newRow("star needs backtracking") << "*AB*AC"
                                             << "AABXAAC" << true;
    QTest::newRow("star then class") << "*[0-9]"
                                     << "JQGD01x" << false;
    QTest::newRow("many stars on a long text") << "*a*a*a*a*a*a*a*a*a*a*b" << QString(4000, 'a') << false;
    QTest::newRow("trailing stars") << "MART**"
                                    << "MART" << true;
}

void TestStore::like() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(jetLike(pattern, text), match);
}

void TestStore::programQueries() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Prenom", "Marie"},
                   {"Date", 38353},
                   {"MEDSUIT", "Dr MARTIN"},
                   {"MEDACTE", "Dr D'ORVAL"},
                   {"Acte", "Césarienne programmée"},
                   {"NF", "N"},
                   {"PRIX", moneyValue(Money::fromEuros(1000))},
                   {"DE", moneyValue(Money::fromEuros(150))}});
    clinic.addAct(
        {{"Nom", "MARTIN"}, {"Date", 40543}, {"MEDSUIT", "Dr MARTINEZ"}, {"PRIX", moneyValue(Money::fromEuros(200))}});
    clinic.addAct({{"Nom", "DURAND"}, {"Date", 40544}, {"PRIX", moneyValue(Money::fromEuros(50))}});
    Database& db = clinic.db();
    QVariant v;
    QVERIFY(db.scalar("SELECT SUM(PRIX) AS TOTAL From ACTES WHERE DATE BETWEEN 38353 And 40543", &v));
    QCOMPARE(Money::fromUnits(v.toLongLong()), Money::fromEuros(1200));
    std::vector<Row> rows;
    QVERIFY(db.queryRows("SELECT ACTES.* From ACTES WHERE DATE BETWEEN 38353 And 40543AND (ACTES.MEDSUIT LIKE "
                         "'dr martin')AND (ACTES.MEDACTE LIKE 'Dr D''ORVAL')AND (ACTES.ACTE LIKE 'Cés*')AND "
                         "(ACTES.NF LIKE 'N*')",
                         &rows));
    QCOMPARE(rows.size(), size_t(1));
    QCOMPARE(rows[0].text("nom"), QStringLiteral("DUPONT"));
    rows.clear();
    QVERIFY(db.queryRows("SELECT ACTES.* From ACTES WHERE DATE BETWEEN 38353 And 40543 AND (ACTES.DE <>0) ORDER BY "
                         "NOM, PRENOM",
                         &rows));
    QCOMPARE(rows.size(), size_t(1));
    QVERIFY(db.scalar("SELECT SUM(REVERSE) AS TOTAL From ACTES WHERE DATE BETWEEN 1 And 2", &v));
    QVERIFY(v.isNull());
}

void TestStore::cursorMovesAndEdges() {
    TempClinic clinic;
    for (const char* n : {"MARTIN", "DUBOIS", "dupont", "DUPONT", "LÉGER", "LEFEBVRE", "LEMAIRE"})
        clinic.addAct({{"Nom", QString::fromUtf8(n)}, {"Prenom", QString::fromUtf8(n) == "dupont" ? "Anne" : "Zoé"}});
    Status s;
    auto c = Cursor::open(std::shared_ptr<Database>(&clinic.db(), [](Database*) {}),
                          "SELECT*FROM ACTES ORDER BY NOM, PRENOM", &s);
    QVERIFY(c);
    QStringList order;
    Row r;
    for (; !c->eof(); c->moveNext()) {
        QVERIFY(c->current(&r));
        order << r.text("Nom");
    }
    QCOMPARE(order, (QStringList{"DUBOIS", "dupont", "DUPONT", "LEFEBVRE", "LÉGER", "LEMAIRE", "MARTIN"}));
    QVERIFY(c->eof());
    QCOMPARE(c->current(&r).error, StoreError::NoCurrentRecord);
    QCOMPARE(c->moveNext().error, StoreError::NoCurrentRecord);
    QVERIFY(c->movePrevious()); // from after the end: the last row
    QVERIFY(c->current(&r));
    QCOMPARE(r.text("Nom"), QStringLiteral("MARTIN"));
    QVERIFY(c->moveFirst());
    QVERIFY(c->movePrevious());
    QVERIFY(c->bof());
    QVERIFY(c->moveNext()); // from before the start: the first row
    QVERIFY(c->current(&r));
    QCOMPARE(r.text("Nom"), QStringLiteral("DUBOIS"));
    QVERIFY(c->moveLast());
    QVERIFY(c->movePrevious());
    QVERIFY(c->current(&r));
    QCOMPARE(r.text("Nom"), QStringLiteral("LEMAIRE"));
}

void TestStore::cursorFindFirst() {
    TempClinic clinic;
    for (const char* n : {"DURAND", "DUBOIS", "D'ALMEIDA", "MARTIN"})
        clinic.addAct({{"Nom", QString::fromUtf8(n)}});
    SharedStore& store = SharedStore::instance();
    QVERIFY(store.openDatabase(clinic.dbPath()));
    QVERIFY(store.openCursor("SELECT*FROM ACTES ORDER BY NOM, PRENOM"));
    struct Case {
        const char* typed;
        const char* found; // nullptr: no match
    } cases[] = {{"D", "D'ALMEIDA"},   {"DU", "DUBOIS"},      {"DUR", "DURAND"}, {"d'a", "D'ALMEIDA"},
                 {"MARTIN", "MARTIN"}, {"MARTINEZ", nullptr}, {"Z", nullptr}};
    for (const Case& k : cases) {
        bool matched = false;
        QVERIFY(store.cursor()->findFirst("NOM>='" + sqlEscape(QString::fromUtf8(k.typed)) + "'", &matched));
        QCOMPARE(matched, k.found != nullptr);
        if (k.found) {
            Row r;
            QVERIFY(store.cursor()->current(&r));
            QCOMPARE(r.text("Nom"), QString::fromUtf8(k.found));
        }
    }
    // MEMO with the editor's condition on a label holding an apostrophe.
    clinic.addMemo(2, "Ablation d'un polype", "JKFE002", "118,09");
    QVERIFY(store.openCursor("SELECT*FROM MEMO WHERE NUMEROS =2"));
    bool matched = false;
    QVERIFY(store.cursor()->findFirst("TEXTE='" + sqlEscape("Ablation d'un polype") + "'", &matched));
    QVERIFY(matched);
    Row r;
    QVERIFY(store.cursor()->current(&r));
    QCOMPARE(r.money("TARIFS")->toFrench(), QStringLiteral("118,09"));
}

void TestStore::cursorEmptyAndDeletedRows() {
    TempClinic clinic;
    SharedStore& store = SharedStore::instance();
    QVERIFY(store.openDatabase(clinic.dbPath()));
    QVERIFY(store.openCursor("SELECT*FROM ACTES ORDER BY NOM, PRENOM"));
    Cursor* c = store.cursor();
    QVERIFY(c->bof() && c->eof());
    for (auto move : {&Cursor::moveFirst, &Cursor::moveLast, &Cursor::moveNext, &Cursor::movePrevious})
        QCOMPARE((c->*move)().error, StoreError::NoCurrentRecord);
    QCOMPARE(c->deleteCurrent().error, StoreError::NoCurrentRecord);
    QCOMPARE(c->edit({{"Nom", "X"}}).error, StoreError::NoCurrentRecord);

    const qint64 id = clinic.addAct({{"Nom", "SEUL"}});
    QVERIFY(store.openCursor("SELECT*FROM ACTES WHERE NUMINT=" + QString::number(id)));
    QVERIFY(clinic.db().remove("ACTES", id)); // deleted by another workstation meanwhile
    Row r;
    QCOMPARE(store.cursor()->current(&r).error, StoreError::NoCurrentRecord);
    QCOMPARE(store.cursor()->edit({{"Nom", "X"}}).error, StoreError::NoCurrentRecord);
}

void TestStore::cursorOnClosedDatabase() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "A"}});
    SharedStore& store = SharedStore::instance();
    QVERIFY(store.openDatabase(clinic.dbPath()));
    QVERIFY(store.openCursor("SELECT*FROM ACTES ORDER BY NOM, PRENOM"));
    store.closeDatabase();
    QCOMPARE(store.cursor()->moveNext().error, StoreError::Closed);
    Row r;
    QCOMPARE(store.cursor()->current(&r).error, StoreError::Closed);
    QVERIFY(store.openDatabase(clinic.dbPath())); // a new database: the old cursor still fails softly
    QCOMPARE(store.cursor()->moveFirst().error, StoreError::Closed);
}

void TestStore::numbersNeverReused() {
    TempClinic clinic;
    const qint64 a = clinic.addAct({{"Nom", "A"}});
    const qint64 b = clinic.addAct({{"Nom", "B"}});
    QVERIFY(clinic.db().remove("ACTES", b));
    const qint64 c = clinic.addAct({{"Nom", "C"}});
    QVERIFY(c > b && b > a);
}

void TestStore::newRowDefaultsAndMemoIndex() {
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "NEUVE"}, {"PRIX", moneyValue(Money::fromEuros(314))}});
    std::vector<Row> rows;
    QVERIFY(clinic.db().queryRows("SELECT*FROM ACTES WHERE NUMINT=" + QString::number(id), &rows));
    QCOMPARE(rows.at(0).money("PAYESECU"), std::optional<Money>(Money()));
    QCOMPARE(rows.at(0).money("PAYECOMPLE"), std::optional<Money>(Money()));
    QCOMPARE(rows.at(0).money("PAYEDE"), std::optional<Money>(Money()));
    QVERIFY(rows.at(0).isNull("DateRev"));
    QVERIFY(rows.at(0).isNull("REVERSE"));
    clinic.addMemo(2, "Second");
    clinic.addMemo(2, "Premier");
    rows.clear();
    QVERIFY(clinic.db().queryRows("SELECT*FROM MEMO WHERE NUMEROS = 2 ORDER by INDEX", &rows));
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0].text("TEXTE"), QStringLiteral("Second"));
    QVERIFY(rows[0].integer("INDEX") < rows[1].integer("INDEX"));
}

void TestStore::quotingKeepsTypedTextWhole() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    const QString hostile = "x' OR '1'='1"; // typed text must stay one text
    std::vector<Row> rows;
    QVERIFY(clinic.db().queryRows("SELECT*FROM ACTES WHERE NOM='" + sqlEscape(hostile) + "'", &rows));
    QCOMPARE(rows.size(), size_t(0));
    const QString drop = "'; DROP TABLE ACTES; --";
    QVERIFY(clinic.db().queryRows("SELECT*FROM ACTES WHERE NOM>='" + sqlEscape(drop) + "'", &rows));
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestStore::openNeverCreates() {
    TempClinic clinic;
    Status s;
    const QString missing = clinic.file("absent/OBSLEDGER.mdb");
    QVERIFY(!Database::open(missing, &s));
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY(!QFile::exists(missing));
    QFile junk(clinic.file("junk/OBSLEDGER.mdb"));
    QDir().mkpath(clinic.file("junk"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QVERIFY(!Database::open(junk.fileName(), &s));
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY(!SharedStore::instance().openDatabase(junk.fileName()));
}

void TestStore::integrityCheckNeedsCollation() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "LÉGER"}});
    QString why;
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
    // A plain connection without the program's order cannot even read the table's definition.
    SQLite::Database plain(clinic.dbPath().toStdString(), SQLite::OPEN_READONLY);
    QVERIFY_THROWS_EXCEPTION(SQLite::Exception, plain.execAndGet("PRAGMA integrity_check").getString());
}

void TestStore::moneySumsAreExact() {
    TempClinic clinic;
    for (int i = 0; i < 10; ++i)
        clinic.addAct({{"Nom", "X"}, {"PRIX", moneyValue(Money::parse("0,1"))}});
    QCOMPARE(Money::fromUnits(clinic.scalar("SELECT SUM(PRIX) FROM ACTES").toLongLong()), Money::fromEuros(1));
}

void TestStore::likePrefilterKeepsMatches() {
    // What SQLite is given for a LIKE (rewritten or not) finds exactly what the program's LIKE matches.
    TempClinic clinic;
    const QStringList names{"Dr MARTIN", "dr martin",  "Dr MARTÍN",          "Dr MARTINEZ", "Dr D'ORVAL",
                            "Œdipe",     "Césarienne", "CESARIENNE urgente", "Cesar",       "ces",
                            ""};
    for (const QString& n : names)
        clinic.addAct({{"Nom", "X"}, {"MEDSUIT", n}, {"Acte", n}});
    const QStringList patterns{"Dr MARTIN", "DR MARTIN", "Dr D'ORVAL", "œdipe", "CES*",
                               "cés*",      "Dr*",       "*",          "C?S*",  "ces"};
    for (const QString& p : patterns) {
        for (const char* col : {"MEDSUIT", "Acte"}) {
            int expected = 0;
            for (const QString& n : names)
                expected += jetLike(p, n) ? 1 : 0;
            QVariant got;
            QVERIFY(clinic.db().scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE (ACTES.%1 LIKE '%2')")
                                           .arg(QString::fromLatin1(col), sqlEscape(p)),
                                       &got));
            QVERIFY2(got.toInt() == expected, qPrintable(p + " " + col));
        }
    }
}

void TestStore::cursorRefusesUnknownOrder() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "A"}});
    Status s;
    std::shared_ptr<Database> db(&clinic.db(), [](Database*) {});
    QVERIFY(!Cursor::open(db, "SELECT*FROM ACTES ORDER BY NOMS", &s));
    QVERIFY(s.message.contains("NOMS"));
    QVERIFY(!Cursor::open(db, "SELECT*FROM PERSONNE", &s));
}

void TestStore::cursorStepsThroughSharedNames() {
    // Names equal in the program's order (case aside) are stepped through by act number, both ways.
    TempClinic clinic;
    QList<qint64> ids;
    ids << clinic.addAct({{"Nom", "AUBERT"}});
    for (const char* n : {"DUPONT", "dupont", "Dupont", "DUPONT"})
        ids << clinic.addAct({{"Nom", n}, {"Prenom", "Marie"}});
    ids << clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Zoé"}});
    ids << clinic.addAct({{"Nom", "ZOLA"}});
    Status s;
    auto c = Cursor::open(std::shared_ptr<Database>(&clinic.db(), [](Database*) {}),
                          "SELECT*FROM ACTES ORDER BY NOM, PRENOM", &s);
    QVERIFY(c);
    QList<qint64> forward, backward;
    Row r;
    for (; !c->eof(); c->moveNext()) {
        QVERIFY(c->current(&r));
        forward << *r.integer("NUMINT");
    }
    QCOMPARE(forward, ids);
    QVERIFY(c->moveLast());
    for (; !c->bof(); c->movePrevious()) {
        QVERIFY(c->current(&r));
        backward.prepend(*r.integer("NUMINT"));
    }
    QCOMPARE(backward, ids);
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
