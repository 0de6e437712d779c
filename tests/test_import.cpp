// The former register's Access file brought into a base of the program, on a file or a server,
// then read back value by value and through the usual screens.
#include "TestSupport.h"

#include "app/RecordEditor.h"
#include "common/AccessFile.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/AccessExport.h"
#include "domain/LegacyImport.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>
#include <numeric>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {

QString legacy(const char* name) {
    return obs::test::legacyFixture(name);
}

// A decimal text of the listing ("313.5000", "-25") in units.
qint64 unitsOf(const QString& text) {
    const bool negative = text.startsWith(u'-');
    const QString digits = negative ? text.mid(1) : text;
    const QString whole = digits.section(u'.', 0, 0);
    const QString fraction = (digits.section(u'.', 1, 1) + QStringLiteral("0000")).left(4);
    const qint64 units = whole.toLongLong() * Money::Scale + fraction.toLongLong();
    return negative ? -units : units;
}

struct Table {
    QStringList columns;
    QStringList types;
    QJsonArray rows;
    int column(const char* name) const { return int(columns.indexOf(QString::fromLatin1(name))); }
};

Table expectedTable(const char* name) {
    QFile f(legacy("small.expected.json"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("small.expected.json missing");
    const QJsonArray tables = QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("tables")).toArray();
    for (const QJsonValue& t : tables) {
        const QJsonObject o = t.toObject();
        if (o.value(QLatin1String("name")).toString() != QLatin1String(name))
            continue;
        Table table;
        for (const QJsonValue& c : o.value(QLatin1String("columns")).toArray()) {
            table.columns << c.toObject().value(QLatin1String("name")).toString();
            table.types << c.toObject().value(QLatin1String("type")).toString();
        }
        table.rows = o.value(QLatin1String("rows")).toArray();
        return table;
    }
    qFatal("no table %s", name);
}

// An amount of the listing: Currency as text, Long as whole euros.
std::optional<qint64> expectedUnits(const QJsonValue& v) {
    if (v.isNull())
        return std::nullopt;
    if (v.isString())
        return unitsOf(v.toString());
    return qint64(v.toDouble()) * Money::Scale;
}

std::optional<qint64> units(const std::optional<Money>& m) {
    return m ? std::optional<qint64>(m->units()) : std::nullopt;
}

QMap<QString, qint64> largeFigures() {
    QFile f(legacy("large.figures"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("large.figures missing");
    QMap<QString, qint64> figures;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.startsWith('#') && line.contains('='))
            figures.insert(QString::fromLatin1(line.split('=')[0]), line.split('=')[1].toLongLong());
    return figures;
}

// Runs the installer's tool as the clinic would.
int admin(const QStringList& args, QString* out, QString* err = nullptr) {
    const obs::test::ProgramRun r = obs::test::runAdmin(args);
    *out = r.out;
    if (err)
        *err = r.err;
    return r.code;
}

// The PATH of the test, put back when the test ends.
struct PathGuard {
    QByteArray saved = qgetenv("PATH");
    ~PathGuard() { qputenv("PATH", saved); }
};

void writeScript(const QString& path, const QByteArray& body) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + body) < 0)
        qFatal("cannot write %s", qPrintable(path));
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void exportReader_data();
    void exportReader();
    void accessFileRecognised();
    void smallFileEveryValue();
    void largeFileFigures();
    void refusals_data();
    void refusals();
    void unreadableValueImportsNothing_data();
    void unreadableValueImportsNothing();
    void valuesAtTheBoundsImported();
    void columnsMissingAndUnknown();
    void nonEmptyDestination();
    void importedBaseOnScreens();
    void commandLine();
    void startUpOnAccessFile();
};

void TestImport::exportReader_data() {
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QString>("error");
    const QByteArray head = "A,B,C\n";
    QTest::newRow("bare and quoted") << head + "1,\"x\",2.5000\n"
                                     << true << QList<QStringList>{{"1", "x", "2.5000"}} << QString();
    QTest::newRow("empty fields") << head + ",,\n" << true << QList<QStringList>{{"", "", ""}} << QString();
    QTest::newRow("doubled quote") << head + "1,\"Consultation \"\"urgence\"\"\",\n"
                                   << true << QList<QStringList>{{"1", "Consultation \"urgence\"", ""}} << QString();
    QTest::newRow("separators inside") << head + "1,\"a,b;c'd\",2\n"
                                       << true << QList<QStringList>{{"1", "a,b;c'd", "2"}} << QString();
    QTest::newRow("line break inside") << head + "1,\"Ligne 1\r\nLigne 2\",2\n3,\"z\",4\n"
                                       << true << QList<QStringList>{{"1", "Ligne 1\r\nLigne 2", "2"}, {"3", "z", "4"}}
                                       << QString();
    QTest::newRow("utf8") << head + "1,\"LEBŒUF « € »\",\n"
                          << true << QList<QStringList>{{"1", QStringLiteral("LEBŒUF « € »"), ""}} << QString();
    QTest::newRow("blanks kept") << head + "1,\" \",\"  a  \"\n"
                                 << true << QList<QStringList>{{"1", " ", "  a  "}} << QString();
    QTest::newRow("names only") << head << true << QList<QStringList>{} << QString();
    QTest::newRow("too few fields") << head + "1,2,3\n4,5\n"
                                    << false << QList<QStringList>{} << QStringLiteral("ligne 3");
    QTest::newRow("too many fields") << head + "1,2,3,4\n"
                                     << false << QList<QStringList>{} << QStringLiteral("ligne 2");
    QTest::newRow("unclosed quote") << head + "1,\"abc,2\n"
                                    << false << QList<QStringList>{} << QStringLiteral("non refermé");
    QTest::newRow("text after quote") << head + "1,\"a\"b,2\n"
                                      << false << QList<QStringList>{} << QStringLiteral("après");
    QTest::newRow("quote in bare field") << head + "1,a\"b,2\n"
                                         << false << QList<QStringList>{} << QStringLiteral("guillemet");
    QTest::newRow("cut in a row") << head + "1,2,3\n4,5" << false << QList<QStringList>{}
                                  << QStringLiteral("milieu d'une ligne");
    QTest::newRow("not utf8") << head + "1,\"\xe9t\xe9\",2\n"
                              << false << QList<QStringList>{} << QStringLiteral("UTF-8");
    QTest::newRow("line after a break inside") << head + "1,\"a\nb\nc\",2\n4,5\n"
                                               << false << QList<QStringList>{} << QStringLiteral("ligne 5");
    // Nothing is read past the end, whatever lies beyond it.
    QTest::newRow("ends after a separator") << QByteArray::fromRawData("A\n*1,\"x", 5) << false << QList<QStringList>{}
                                            << QStringLiteral("milieu d'une ligne");
    QTest::newRow("control character in a name")
        << QByteArray("\r\r\n") << false << QList<QStringList>{} << QStringLiteral("ligne 1");
    QTest::newRow("nothing") << QByteArray() << false << QList<QStringList>{} << QStringLiteral("ligne 1");
}

void TestImport::exportReader() {
    QFETCH(QByteArray, output);
    QFETCH(bool, ok);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QString, error);
    AccessTable table;
    QString why;
    QCOMPARE(readAccessExport(output, &table, &why), ok);
    if (!ok) {
        QVERIFY2(why.contains(error), qPrintable(why));
        return;
    }
    QCOMPARE(table.columns, (QStringList{"A", "B", "C"}));
    QCOMPARE(QList<QStringList>(table.rows.begin(), table.rows.end()), rows);
}

void TestImport::accessFileRecognised() {
    QVERIFY(isAccessDatabaseFile(legacy("small.mdb")));
    QVERIFY(isAccessDatabaseFile(legacy("other-program.mdb")));
    QVERIFY(!isAccessDatabaseFile(legacy("small.expected.json")));
    QTemporaryDir dir;
    // An Access 2007 file says ACE where Access 2000 says Jet.
    QFile ace(dir.filePath(QStringLiteral("a.accdb")));
    QVERIFY(ace.open(QIODevice::WriteOnly));
    ace.write(QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20));
    ace.close();
    QVERIFY(isAccessDatabaseFile(ace.fileName()));
    TempClinic clinic;
    QVERIFY(!isAccessDatabaseFile(clinic.dbPath()));
    // The store says what the file is and how to bring it in, not that it is no database.
    Status s;
    QVERIFY(!Store::open(legacy("small.mdb"), &s));
    QVERIFY2(s.message.contains(QStringLiteral("base Access de l'ancien registre")), qPrintable(s.message));
    QVERIFY(s.message.contains(QStringLiteral("obsledger-admin import")));
}

void TestImport::smallFileEveryValue() {
    TempClinic clinic;
    LegacyImportReport report;
    QString why;
    QVERIFY2(importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why, OutOfBounds::Keep),
             qPrintable(why));
    QVERIFY(report.matches);
    // Its amounts at the edges are beyond an act's: imported only when asked, each named.
    QCOMPARE(report.outOfBounds.size(), 8);
    QVERIFY(report.outOfBounds.contains(QStringLiteral("ACTES, ligne 25, colonne PRIX : « 9999999.9900 », montant hors "
                                                       "des limites (de -1 000 000 € à 1 000 000 €)")));
    QVERIFY(report.text().contains(QStringLiteral("MEMO, ligne 14, colonne MUT3 : « 2147483647 »")));
    // Its lists under the numbers the program uses.
    QCOMPARE(report.lists, (std::array<qint64, 6>{5, 4, 7, 1, 6, 8}));
    QVERIFY(report.text().contains(QStringLiteral("5 praticiens (1), 4 actes d'accouchement (2), 7 actes de chirurgie "
                                                  "(3), 1 praticien par défaut (5), 6 mutuelles (6), 8 autres")));
    QVERIFY(report.missingColumns.isEmpty());
    QVERIFY(report.ignoredColumns.isEmpty());
    QCOMPARE(report.format, QStringLiteral("JET4"));
    QCOMPARE(report.entriesWithoutIndex, 1);
    QVERIFY(report.text().contains(QStringLiteral("1 item(s) sans INDEX")));

    const Table acts = expectedTable("ACTES");
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), acts.rows.size());
    Status s;
    auto store = Store::open(clinic.location(), &s);
    QVERIFY2(store, qPrintable(s.message));
    for (const QJsonValue& rowValue : acts.rows) {
        const QJsonArray row = rowValue.toArray();
        const qint64 number = qint64(row[acts.column("NUMINT")].toDouble());
        Act a;
        bool found = false;
        QVERIFY(store->acts().find(number, &a, &found));
        QVERIFY2(found, qPrintable(QString::number(number)));
        const auto text = [&](const char* c) { return row[acts.column(c)].toString(); }; // null gives ""
        const auto day = [&](const char* c) -> StoredDay {
            const QJsonValue v = row[acts.column(c)];
            return v.isNull() ? StoredDay() : StoredDay(qint64(v.toDouble()));
        };
        const auto amount = [&](const char* c) { return expectedUnits(row[acts.column(c)]); };
        const auto payment = [&](const char* c) { return expectedUnits(row[acts.column(c)]).value_or(0); };
        const QByteArray at = "NUMINT " + QByteArray::number(number);
        QVERIFY2(a.surname == text("Nom") && !a.surname.isNull(), at);
        QVERIFY2(a.firstName == text("Prenom"), at);
        QVERIFY2(a.date == day("Date"), at);
        QVERIFY2(a.followedBy == text("MEDSUIT"), at);
        QVERIFY2(a.performedBy == text("MEDACTE"), at);
        QVERIFY2(a.act == text("Acte"), at);
        QVERIFY2(a.code == text("CCAM1"), at);
        QVERIFY2(a.nightOrHoliday == text("NF"), at);
        for (int k = 0; k < 5; ++k)
            QVERIFY2(a.secondary[k] == text(QByteArray("CCAM" + QByteArray::number(k + 2)).constData()), at);
        QVERIFY2(units(a.price) == amount("PRIX"), at);
        QVERIFY2(units(a.excess) == amount("DE"), at);
        QVERIFY2(units(a.paidSecu) == payment("PAYESECU"), at);
        QVERIFY2(units(a.paidComplementary) == payment("PAYECOMPLE"), at);
        QVERIFY2(units(a.paidExcess) == payment("PAYEDE"), at);
        QVERIFY2(units(a.reversed) == amount("REVERSE"), at);
        QVERIFY2(a.reversalDate == day("DateRev"), at);
    }
    // No text column is left without a value: the screens write an empty text.
    QCOMPARE(clinic
                 .scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE Prenom IS NULL OR MEDACTE IS NULL OR "
                                        "CCAM6 IS NULL OR NF IS NULL"))
                 .toLongLong(),
             0);

    const Table memo = expectedTable("MEMO");
    QCOMPARE(clinic.count(QStringLiteral("MEMO")), memo.rows.size());
    const QString order = clinic.onServer() ? QStringLiteral("id") : QStringLiteral("rowid");
    qint64 largestIndexBefore = 0;
    for (int r = 0; r < memo.rows.size(); ++r) {
        const QJsonArray row = memo.rows[r].toArray();
        const auto stored = [&](const QString& column) {
            return clinic.scalar(
                QStringLiteral("SELECT %1 FROM MEMO ORDER BY %2 LIMIT 1 OFFSET %3").arg(column, order).arg(r));
        };
        const QByteArray at = "MEMO row " + QByteArray::number(r);
        for (int c = 0; c < memo.columns.size(); ++c) {
            const QString name = memo.columns[c];
            const QVariant v = stored(name == QLatin1String("INDEX") ? QStringLiteral("\"index\"") : name);
            const QJsonValue want = row[c];
            if (memo.types[c] == QLatin1String("text")) {
                QVERIFY2(v.isValid() && v.toString() == want.toString(), at + ' ' + name.toLatin1());
            } else if (name == QLatin1String("NUMEROS") || name == QLatin1String("INDEX")) {
                if (name == QLatin1String("INDEX") && want.isNull()) {
                    // A catalogue entry without a place takes the next one, as one the editor adds.
                    QVERIFY2(v.isValid() && v.toLongLong() > largestIndexBefore, at);
                    continue;
                }
                QVERIFY2(want.isNull() ? !v.isValid() : v.toLongLong() == qint64(want.toDouble()),
                         at + ' ' + name.toLatin1());
                if (name == QLatin1String("INDEX"))
                    largestIndexBefore = std::max(largestIndexBefore, v.toLongLong());
            } else {
                const auto expected = expectedUnits(want);
                QVERIFY2(expected ? v.toLongLong() == *expected : !v.isValid(), at + ' ' + name.toLatin1());
            }
        }
    }

    // The next act takes the number after the largest imported one.
    qint64 next = 0;
    Act fresh;
    fresh.surname = QStringLiteral("APRÈS");
    QVERIFY(store->acts().append(fresh, &next));
    QCOMPARE(next, 48);
}

void TestImport::largeFileFigures() {
    TempClinic clinic;
    LegacyImportReport report;
    QString why;
    QVERIFY2(importLegacyRegister(legacy("large.mdb"), clinic.location(), false, &report, &why), qPrintable(why));
    const QMap<QString, qint64> want = largeFigures();
    for (const StoredFigures* f : {&report.read, &report.found}) {
        QCOMPARE(f->acts, want.value(QStringLiteral("ACTES.rows")));
        QCOMPARE(f->entries, want.value(QStringLiteral("MEMO.rows")));
        QCOMPARE(report.lists,
                 (std::array<qint64, 6>{
                     want.value(QStringLiteral("MEMO.list.1")), want.value(QStringLiteral("MEMO.list.2")),
                     want.value(QStringLiteral("MEMO.list.3")), want.value(QStringLiteral("MEMO.list.5")),
                     want.value(QStringLiteral("MEMO.list.6")), want.value(QStringLiteral("MEMO.list.other"))}));
        for (size_t k = 0; k < kSummedActColumns.size(); ++k)
            QCOMPARE(f->actSums[k], want.value(QStringLiteral("ACTES.") + QLatin1String(kSummedActColumns[k])));
        for (size_t k = 0; k < kSummedEntryColumns.size(); ++k)
            QCOMPARE(f->entrySums[k], want.value(QStringLiteral("MEMO.") + QLatin1String(kSummedEntryColumns[k])));
        QCOMPARE(f->numbers.front(), want.value(QStringLiteral("ACTES.NUMINT.min")));
        QCOMPARE(f->numbers.back(), want.value(QStringLiteral("ACTES.NUMINT.max")));
        QCOMPARE(std::accumulate(f->numbers.begin(), f->numbers.end(), qint64(0)),
                 want.value(QStringLiteral("ACTES.NUMINT.sum")));
    }
    QVERIFY(report.matches);
    // Counted by the base itself, not only by the import.
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), want.value(QStringLiteral("ACTES.rows")));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT sum(PRIX) FROM ACTES")).toLongLong(),
             want.value(QStringLiteral("ACTES.PRIX")));
}

void TestImport::refusals_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("not an Access file") << "text"
                                        << "n'est pas une base Access";
    QTest::newRow("a program base") << "program"
                                    << "n'est pas une base Access";
    QTest::newRow("cut within a page") << "cut"
                                       << "incomplet";
    QTest::newRow("cut at a page") << "cut-page"
                                   << "endommagé";
    QTest::newRow("another program's file") << "other"
                                            << "pas de table ACTES";
    QTest::newRow("mdbtools missing") << "no-mdbtools"
                                      << "paquet Debian « mdbtools »";
    QTest::newRow("missing file") << "missing"
                                  << "introuvable";
    QTest::newRow("folder missing") << "no-folder"
                                    << "ne peut pas être créée";
    QTest::newRow("destination not a base") << "junk-destination"
                                            << "n'est pas une base Obsledger";
    QTest::newRow("server unreachable") << "no-server"
                                        << "ne peut pas être utilisée";
}

void TestImport::refusals() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    TempClinic clinic;
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("OBSLEDGER.mdb"));
    QString destination = dir.filePath(QStringLiteral("NOUVEAU-OBSLEDGER.mdb"));
    PathGuard path;
    QFile large(legacy("large.mdb"));
    QVERIFY(large.open(QIODevice::ReadOnly));
    const QByteArray whole = large.readAll();
    const auto write = [](const QString& file, const QByteArray& bytes) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    };
    if (kind == QLatin1String("text"))
        write(source, "NUMINT,Nom\n1,\"DUPONT\"\n");
    else if (kind == QLatin1String("program"))
        source = clinic.dbPath();
    else if (kind == QLatin1String("cut"))
        write(source, whole.left(3000000));
    else if (kind == QLatin1String("cut-page"))
        write(source, whole.left(4096 * 800));
    else if (kind == QLatin1String("other"))
        QVERIFY(QFile::copy(legacy("other-program.mdb"), source));
    else if (kind == QLatin1String("no-mdbtools")) {
        QVERIFY(QFile::copy(legacy("small.mdb"), source));
        qputenv("PATH", dir.path().toUtf8());
    } else if (kind == QLatin1String("missing"))
        source = dir.filePath(QStringLiteral("absent.mdb"));
    else if (kind == QLatin1String("no-folder")) {
        QVERIFY(QFile::copy(legacy("small.mdb"), source));
        destination = dir.filePath(QStringLiteral("absent/OBSLEDGER.mdb"));
    } else if (kind == QLatin1String("no-server")) {
        QVERIFY(QFile::copy(legacy("small.mdb"), source));
        destination = QStringLiteral("host=%1 dbname=obsledger connect_timeout=2").arg(dir.filePath("pas-de-serveur"));
    } else if (kind == QLatin1String("junk-destination")) {
        QVERIFY(QFile::copy(legacy("small.mdb"), source));
        write(destination, "not a base");
    }
    const bool existed = QFileInfo::exists(destination);
    LegacyImportReport report;
    QString why;
    QVERIFY(!importLegacyRegister(source, destination, false, &report, &why));
    QVERIFY2(why.contains(message), qPrintable(why));
    QCOMPARE(QFileInfo::exists(destination), existed);
    if (kind == QLatin1String("no-folder") || kind == QLatin1String("junk-destination") ||
        kind == QLatin1String("no-server"))
        return;
    // Nothing written into the clinic's own base either.
    QVERIFY(!importLegacyRegister(source, clinic.location(), false, &report, &why));
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), 0);
    QCOMPARE(clinic.count(QStringLiteral("MEMO")), 0);
}

void TestImport::unreadableValueImportsNothing_data() {
    QTest::addColumn<QByteArray>("acts");
    QTest::addColumn<QString>("message");
    const QByteArray head = "NUMINT,Nom,PRIX,Date\n";
    QTest::newRow("amount with a comma") << head + "1,\"A\",12.5000,38353\n2,\"B\",\"12,5\",38353\n"
                                         << "ligne 3 de l'export, colonne PRIX";
    QTest::newRow("amount finer than the program keeps") << head + "1,\"A\",0.00001,38353\n"
                                                         << "colonne PRIX";
    QTest::newRow("date not a number") << head + "1,\"A\",1.0000,\"hier\"\n"
                                       << "colonne Date";
    QTest::newRow("date beyond the calendar") << head + "1,\"A\",1.0000,1e+300\n"
                                              << "colonne Date";
    QTest::newRow("number missing") << head + "1,\"A\",1.0000,38353\n,\"B\",1.0000,38353\n"
                                    << "sans NUMINT";
    QTest::newRow("number twice") << head + "7,\"A\",1.0000,38353\n7,\"B\",1.0000,38353\n"
                                  << "en double";
    QTest::newRow("row cut short") << head + "1,\"A\",1.0000\n"
                                   << "3 valeurs pour 4 colonnes";
    // Beyond what the importer reads, or beyond what an act can be.
    QTest::newRow("amount of 16 digits") << head + "1,\"A\",1844674407370955,38353\n"
                                         << "colonne PRIX : « 1844674407370955 » est un montant trop long";
    QTest::newRow("amount of 40 digits") << head + "1,\"A\",-1234567890123456789012345678901234567890.0000,38353\n"
                                         << "montant trop long";
    QTest::newRow("amount above the bound") << head + "1,\"A\",1000000.0001,38353\n"
                                            << "colonne PRIX : « 1000000.0001 », montant hors des limites";
    QTest::newRow("amount below the bound") << head + "1,\"A\",-1000000.0100,38353\n"
                                            << "montant hors des limites";
    QTest::newRow("date before day 0") << head + "1,\"A\",1.0000,-1\n"
                                       << "colonne Date : « -1 », date antérieure au jour 0";
    QTest::newRow("date beyond two years")
        << head + "1,\"A\",1.0000," + QByteArray::number(dayNumberOf(QDate::currentDate().addYears(2)) + 1) + "\n"
        << "date à plus de deux ans d'aujourd'hui";
    QTest::newRow("act number 0") << head + "0,\"A\",1.0000,38353\n"
                                  << "colonne NUMINT : « 0 », numéro d'acte de 0 ou moins";
    QTest::newRow("act number negative") << head + "-5,\"A\",1.0000,38353\n"
                                         << "numéro d'acte de 0 ou moins";
}

// mdbtools replaced by scripts printing a given export, to reach the reading of each value.
void TestImport::unreadableValueImportsNothing() {
    QFETCH(QByteArray, acts);
    QFETCH(QString, message);
    TempClinic clinic;
    QTemporaryDir dir;
    PathGuard path;
    QFile csv(dir.filePath(QStringLiteral("ACTES.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write(acts);
    csv.close();
    writeScript(dir.filePath(QStringLiteral("mdb-ver")), "echo JET4\n");
    writeScript(dir.filePath(QStringLiteral("mdb-tables")), "echo ACTES\n");
    writeScript(dir.filePath(QStringLiteral("mdb-export")),
                "for a; do t=$a; done; cat \"" + dir.path().toUtf8() + "/$t.csv\"\n");
    qputenv("PATH", dir.path().toUtf8() + ":/usr/bin:/bin");
    LegacyImportReport report;
    QString why;
    QVERIFY(!importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why));
    QVERIFY2(why.contains(message), qPrintable(why));
    QVERIFY(why.contains(QStringLiteral("Rien n'a été importé")));
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), 0);
}

void TestImport::valuesAtTheBoundsImported() {
    TempClinic clinic;
    QTemporaryDir dir;
    PathGuard path;
    const qint64 lastDay = dayNumberOf(QDate::currentDate().addYears(2));
    QFile csv(dir.filePath(QStringLiteral("ACTES.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("NUMINT,Nom,PRIX,DE,Date\n1,\"A\",1000000.0000,-1000000.0000,0\n2,\"B\",000000000000000000042.5,," +
              QByteArray::number(lastDay) + "\n");
    csv.close();
    writeScript(dir.filePath(QStringLiteral("mdb-ver")), "echo JET4\n");
    writeScript(dir.filePath(QStringLiteral("mdb-tables")), "echo ACTES\n");
    writeScript(dir.filePath(QStringLiteral("mdb-export")),
                "for a; do t=$a; done; cat \"" + dir.path().toUtf8() + "/$t.csv\"\n");
    qputenv("PATH", dir.path().toUtf8() + ":/usr/bin:/bin");
    LegacyImportReport report;
    QString why;
    QVERIFY2(importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why), qPrintable(why));
    QVERIFY(report.outOfBounds.isEmpty());
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT sum(PRIX) FROM ACTES")).toLongLong(), 10000425000);
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT max(Date) FROM ACTES")).toLongLong(), lastDay);
}

void TestImport::columnsMissingAndUnknown() {
    TempClinic clinic;
    QTemporaryDir dir;
    PathGuard path;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    // Names in other cases, CCAM6 and the payments missing, one column of the register's own.
    // A date of Access's own kind comes as mdb-export is told to print it.
    write("actes.csv", "numint,NOM,prenom,date,Cotation,PRIX\n5,\"DUPONT\",\"Marie\",38353.75,\"K 20\",313.5000\n"
                       "6,\"DURAND\",,\"2005-01-02 10:30:00\",,\n");
    write("memo.csv", "Numeros,Texte,Tarifs\n2,\"Accouchement\",313.5000\n");
    writeScript(dir.filePath(QStringLiteral("mdb-ver")), "echo JET3\n");
    writeScript(dir.filePath(QStringLiteral("mdb-tables")), "printf 'actes\\nmemo\\n'\n");
    writeScript(dir.filePath(QStringLiteral("mdb-export")),
                "for a; do t=$a; done; cat \"" + dir.path().toUtf8() + "/$t.csv\"\n");
    qputenv("PATH", dir.path().toUtf8() + ":/usr/bin:/bin");
    LegacyImportReport report;
    QString why;
    QVERIFY2(importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why), qPrintable(why));
    QVERIFY(report.missingColumns.contains(QStringLiteral("ACTES.CCAM6")));
    QVERIFY(report.missingColumns.contains(QStringLiteral("ACTES.PAYESECU")));
    QVERIFY(report.missingColumns.contains(QStringLiteral("MEMO.MUT1")));
    QCOMPARE(report.ignoredColumns, QStringList{QStringLiteral("ACTES.Cotation")});
    QVERIFY(report.text().contains(QStringLiteral("ACTES.Cotation")));
    QVERIFY(report.text().contains(QStringLiteral("ACTES.CCAM6")));
    Status s;
    auto store = Store::open(clinic.location(), &s);
    Act a;
    bool found = false;
    QVERIFY(store->acts().find(5, &a, &found) && found);
    QCOMPARE(a.surname, QStringLiteral("DUPONT"));
    QCOMPARE(a.date, StoredDay(38353)); // the time of day dropped
    QCOMPARE(a.price, Money::parse(QStringLiteral("313,5")));
    QCOMPARE(a.paidSecu, Money()); // an act without payments is an unpaid act
    QCOMPARE(a.secondary[4], QString());
    QVERIFY(store->acts().find(6, &a, &found) && found);
    QCOMPARE(a.date, StoredDay(38354));
    QCOMPARE(a.price, std::nullopt);
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT TARIFS FROM MEMO")).toLongLong(), 3135000);
}

void TestImport::nonEmptyDestination() {
    TempClinic clinic;
    clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("DÉJÀ")}});
    QTemporaryDir kept;
    QVERIFY(Settings::setBackupFolder(kept.path()));
    LegacyImportReport report;
    QString why;
    QVERIFY(!importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why));
    QVERIFY2(why.contains(QStringLiteral("--replace")), qPrintable(why));
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), 1);
    QVERIFY(report.keptCopy.isEmpty());

    QVERIFY2(importLegacyRegister(legacy("small.mdb"), clinic.location(), true, &report, &why, OutOfBounds::Keep),
             qPrintable(why));
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), 40);
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE Nom = 'DÉJÀ'")).toLongLong(), 0);
    // The replaced base is kept, and holds what it held.
    QVERIFY(QFileInfo::exists(report.keptCopy));
    if (!clinic.onServer())
        QCOMPARE(QFileInfo(report.keptCopy).absolutePath(), QFileInfo(clinic.dbPath()).absolutePath());
    Status s;
    auto copy = Database::open(report.keptCopy, &s);
    QVERIFY2(copy, qPrintable(s.message));
    QVariant names;
    QVERIFY(copy->scalar(QStringLiteral("SELECT group_concat(Nom) FROM ACTES"), &names));
    QCOMPARE(names.toString(), QStringLiteral("DÉJÀ"));
    QVERIFY(report.text().contains(report.keptCopy));
}

void TestImport::importedBaseOnScreens() {
    TempClinic clinic;
    clinic.writeRates();
    LegacyImportReport report;
    QString why;
    QVERIFY2(importLegacyRegister(legacy("small.mdb"), clinic.location(), false, &report, &why, OutOfBounds::Keep),
             qPrintable(why));
    {
        RecordEditor main(clinic.database(), clinic.browsed());
        QVERIFY(main.load());
        auto* search = child<QLineEdit>(&main, "Text1");
        auto* name = child<QLineEdit>(&main, "TxtNom");
        QTest::keyClicks(search, QStringLiteral("LEB"));
        QCOMPARE(name->text(), QStringLiteral("LEBŒUF"));
        search->clear();
        QTest::keyClicks(search, QStringLiteral("D'AL"));
        QCOMPARE(name->text(), QStringLiteral("D'ALMEIDA"));
        search->clear();
        QTest::keyClicks(search, QStringLiteral("ROE"));
        QCOMPARE(name->text(), QStringLiteral("Rœderer"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }
    // Each year's listing totals what the old register holds for that year.
    const Table acts = expectedTable("ACTES");
    QMap<int, std::pair<int, qint64>> years;
    for (const QJsonValue& v : acts.rows) {
        const QJsonArray row = v.toArray();
        if (row[acts.column("Date")].isNull())
            continue;
        const int year = dateOfDayNumber(qint64(row[acts.column("Date")].toDouble())).year();
        years[year].first += 1;
        years[year].second += expectedUnits(row[acts.column("PRIX")]).value_or(0);
    }
    obs::test::SearchScreen screen(clinic);
    for (int year : {2005, 2010, 2024}) {
        screen.period(QStringLiteral("01/01/%1").arg(year), QStringLiteral("31/12/%1").arg(year));
        screen.click("Command2");
        QCOMPARE(screen.caption("Label1"), QString::number(years[year].first));
        QCOMPARE(screen.caption("LblTotalActes"), Money::fromUnits(years[year].second).toEuroText());
    }
}

void TestImport::commandLine() {
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("NOUVEAU-OBSLEDGER.mdb"));
    QString out, err;
    // Amounts beyond an act's: refused, each named, no file made.
    QCOMPARE(admin({QStringLiteral("import"), legacy("small.mdb"), destination}, &out, &err), 1);
    QVERIFY2(err.contains(QStringLiteral("ACTES, ligne 35, colonne PRIX : « 1234567.8900 »")), qPrintable(err));
    QVERIFY(err.contains(QStringLiteral("--garder-hors-limites")));
    QVERIFY(!QFileInfo::exists(destination));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(
        admin({QStringLiteral("import"), legacy("small.mdb"), destination, QStringLiteral("--garder-hors-limites")},
              &out, &err),
        0);
    QVERIFY2(out.contains(QStringLiteral("Import vérifié")), qPrintable(out + err));
    QVERIFY(out.contains(QStringLiteral("Valeurs hors limites importées à la demande (--garder-hors-limites) : 8")));
    QVERIFY(out.contains(QStringLiteral("ACTES : 40 lignes lues, 40 dans la base")));
    QVERIFY(out.contains(QStringLiteral("le prochain acte prendra le numéro 48")));
    QCOMPARE(admin({QStringLiteral("check"), destination}, &out), 0);
    QCOMPARE(
        admin({QStringLiteral("import"), legacy("small.mdb"), destination, QStringLiteral("--garder-hors-limites")},
              &out, &err),
        1);
    QVERIFY(err.contains(QStringLiteral("--replace")));
    QCOMPARE(admin({QStringLiteral("import"), legacy("other-program.mdb"), dir.filePath(QStringLiteral("x.mdb"))}, &out,
                   &err),
             1);
    QVERIFY(err.contains(QStringLiteral("pas de table ACTES")));
    // The check of an Access file names the import.
    QCOMPARE(admin({QStringLiteral("check"), legacy("small.mdb")}, &out, &err), 1);
    QVERIFY2(err.contains(QStringLiteral("obsledger-admin import")), qPrintable(err));
}

void TestImport::startUpOnAccessFile() {
    TempClinic clinic;
    QDir().mkpath(clinic.file(QStringLiteral("ancien")));
    const QString old = clinic.file(QStringLiteral("ancien/OBSLEDGER.mdb"));
    QVERIFY(QFile::copy(legacy("small.mdb"), old));
    Settings::setDatabasePath(old);
    Settings::setServer(QString());
    RecordEditor main(clinic.database(), clinic.browsed());
    QVERIFY(!main.load());
    const QString shown = Dialogs::lastText();
    QVERIFY2(shown.contains(QStringLiteral("base Access de l'ancien registre")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("obsledger-admin import")));
    QVERIFY(!shown.contains(QStringLiteral("pas une base de données lisible")));
    QVERIFY(endRequested());
}

QTEST_MAIN(TestImport)
#include "test_import.moc"
