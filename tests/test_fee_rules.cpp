// The fee rules as the entry screen applies them, without the screen: the principal act at its
// catalogue value, each secondary act at half its value, the supplements of the tariff file, the
// total, the excess and their francs. One row a case.
#include "common/Money.h"
#include "domain/FeeComputation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace obs;

namespace {

// The night and holiday supplements of each group of a tariff file.
using Groups = QList<QPair<QString, QString>>;

// What a caption shows when the rules leave it as it was.
const QString kUnchanged = QStringLiteral("(unchanged)");

QString francsShown(const QString& amount) {
    return FeeComputation::francsFor(amount).value_or(kUnchanged);
}

// Writes a tariff file of `groups` complete groups of fields, then `extra` fields of an unfinished one.
QString tariffFile(const QTemporaryDir& dir, const Groups& groups, int extra = 0) {
    QStringList fields;
    for (const auto& [night, holiday] : groups)
        for (int i = 0; i < FeeComputation::kFieldsPerGroup; ++i)
            fields << (i == 4 ? night : i == 5 ? holiday : QStringLiteral("1"));
    for (int i = 0; i < extra; ++i)
        fields << QStringLiteral("1");
    const QString path = dir.filePath(QStringLiteral("tarifs.cmt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write the tariff file");
    f.write((u'"' + fields.join(QStringLiteral("\",\"")) + QStringLiteral("\"\r\n")).toLatin1());
    return path;
}

} // namespace

class TestFeeRules : public QObject {
    Q_OBJECT
private slots:
    void actsChosen_data();
    void actsChosen();
    void typedAmounts_data();
    void typedAmounts();
    void excessInFrancs_data();
    void excessInFrancs();
    void supplementsOfTheTariffFile_data();
    void supplementsOfTheTariffFile();
};

// Steps: "P 313,5" a principal act of that catalogue value ("P" alone: one without a value),
// "S 41,8" a secondary act, "R" a new entry or a change of act type.
void TestFeeRules::actsChosen_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("supplement"); // the supplement box: "0" for Normal
    QTest::addColumn<QString>("acts");       // value of the acts after the last step
    QTest::addColumn<QString>("secondary");  // the last secondary act's half value, as its line shows it
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("francs");

    QTest::newRow("principal alone") << QStringList{"P 313,5"} << "0"
                                     << "313,5"
                                     << "0"
                                     << "313,5"
                                     << "2056,43 F";
    QTest::newRow("a secondary at half its value") << QStringList{"P 313,5", "S 41,8"} << "0"
                                                   << "334,4"
                                                   << "20,9"
                                                   << "334,4"
                                                   << "2193,52 F";
    QTest::newRow("each secondary adds its half") << QStringList{"P 313,5", "S 41,8", "S 41,8"} << "0"
                                                  << "355,3"
                                                  << "20,9"
                                                  << "355,3"
                                                  << "2330,62 F";
    QTest::newRow("half of an odd cent, not rounded") << QStringList{"P 100", "S 0,05"} << "0"
                                                      << "100,025"
                                                      << "0,025"
                                                      << "100,025"
                                                      << "656,12 F";
    QTest::newRow("a new principal starts again") << QStringList{"P 313,5", "S 41,8", "P 369,2"} << "0"
                                                  << "369,2"
                                                  << "0"
                                                  << "369,2"
                                                  << "2421,79 F";
    QTest::newRow("secondaries after the new principal") << QStringList{"P 313,5", "S 41,8", "P 369,2", "S 41,8"} << "0"
                                                         << "390,1"
                                                         << "20,9"
                                                         << "390,1"
                                                         << "2558,89 F";
    QTest::newRow("night supplement") << QStringList{"P 313,5"} << "25,15"
                                      << "313,5"
                                      << "0"
                                      << "338,65"
                                      << "2221,4 F";
    QTest::newRow("holiday supplement") << QStringList{"P 313,5"} << "19,06"
                                        << "313,5"
                                        << "0"
                                        << "332,56"
                                        << "2181,45 F";
    QTest::newRow("supplement of a missing tariff file counts as 0") << QStringList{"P 313,5"} << ""
                                                                     << "313,5"
                                                                     << "0"
                                                                     << "313,5"
                                                                     << "2056,43 F";
    QTest::newRow("supplement that is no amount: no total") << QStringList{"P 313,5"} << "25,,15"
                                                            << "313,5"
                                                            << "0"
                                                            << "" << kUnchanged;
    // The next patient's fee never carries the acts of the patient before.
    QTest::newRow("secondary first after a new entry") << QStringList{"P 313,5", "S 41,8", "R", "S 41,8"} << "0"
                                                       << "20,9"
                                                       << "20,9"
                                                       << "20,9"
                                                       << "137,1 F";
    QTest::newRow("principal without a catalogue value") << QStringList{"P"} << "0"
                                                         << ""
                                                         << "0"
                                                         << "0"
                                                         << "0 F";
    QTest::newRow("secondary over a principal without value") << QStringList{"P", "S 41,8"} << "25,15"
                                                              << "20,9"
                                                              << "20,9"
                                                              << "46,05"
                                                              << "302,07 F";
}

void TestFeeRules::actsChosen() {
    QFETCH(QStringList, steps);
    QFETCH(QString, supplement);
    FeeComputation fee;
    QString acts;
    for (const QString& step : steps) {
        const std::optional<Money> value = step.size() > 2 ? Money::parse(step.mid(2)) : std::nullopt;
        if (step.startsWith(u'P'))
            acts = fee.principalChosen(value);
        else if (step.startsWith(u'S'))
            acts = fee.secondaryChosen(value);
        else
            fee.reset();
    }
    QTEST(acts, "acts");
    QTEST(fee.secondaryValueText(), "secondary");
    const QString total = FeeComputation::totalText(acts, supplement);
    QTEST(total, "total");
    QTEST(francsShown(total), "francs");
}

// Amounts typed into the boxes: an empty box counts as 0, anything else must read as a number.
void TestFeeRules::typedAmounts_data() {
    QTest::addColumn<QString>("acts");
    QTest::addColumn<QString>("supplement");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("francs");
    QTest::newRow("empty acts") << ""
                                << "25,15"
                                << "25,15"
                                << "164,97 F";
    QTest::newRow("full stop read as a comma") << "12.5"
                                               << "0"
                                               << "12,5"
                                               << "81,99 F";
    QTest::newRow("francs: an exact half to the even cent, down") << "500"
                                                                  << "0"
                                                                  << "500"
                                                                  << "3279,78 F";
    QTest::newRow("francs: an exact half to the even cent, up") << "1500"
                                                                << "0"
                                                                << "1500"
                                                                << "9839,36 F";
    QTest::newRow("lone comma") << ","
                                << "0"
                                << "" << kUnchanged;
    QTest::newRow("two commas") << "1,2,3"
                                << "0"
                                << "" << kUnchanged;
    QTest::newRow("beyond any amount") << "99999999999999999999"
                                       << "0"
                                       << "" << kUnchanged;
}

void TestFeeRules::typedAmounts() {
    QFETCH(QString, acts);
    QFETCH(QString, supplement);
    const QString total = FeeComputation::totalText(acts, supplement);
    QTEST(total, "total");
    QTEST(francsShown(total), "francs");
}

// The mutual insurer's excess, as its amount box holds it, and its francs caption.
void TestFeeRules::excessInFrancs_data() {
    QTest::addColumn<QString>("excess");
    QTest::addColumn<QString>("francs");
    QTest::newRow("insurer's excess") << "40"
                                      << "262,38 F";
    QTest::newRow("no mutual insurer") << "0"
                                       << "0 F";
    QTest::newRow("typed with decimals") << "12,5"
                                         << "81,99 F";
    QTest::newRow("erased: the caption stays") << "" << kUnchanged;
    QTest::newRow("not a number: no figure") << "1,2,3" << QString();
}

void TestFeeRules::excessInFrancs() {
    QFETCH(QString, excess);
    QTEST(francsShown(excess), "francs");
}

// The night and holiday supplements are fields 5 and 6 of each group of the tariff file; the last
// complete group read gives them, and reading stops at a damaged one.
void TestFeeRules::supplementsOfTheTariffFile_data() {
    QTest::addColumn<Groups>("groups");
    QTest::addColumn<int>("extra");
    QTest::addColumn<QString>("night");
    QTest::addColumn<QString>("holiday");
    QTest::addColumn<int>("groupsRead");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("nightCaption");
    QTest::newRow("one group") << Groups{{"25,15", "19,06"}} << 0 << "25,15"
                               << "19,06" << 1 << false << "25,15 €";
    QTest::newRow("kept as the text read") << Groups{{"25.1", "19"}} << 0 << "25.1"
                                           << "19" << 1 << false << "25,10 €";
    QTest::newRow("the second group wins") << Groups{{"25,15", "19,06"}, {"30", "20"}} << 0 << "30"
                                           << "20" << 2 << false << "30,00 €";
    QTest::newRow("unfinished group: the first kept") << Groups{{"25,15", "19,06"}} << 10 << "25,15"
                                                      << "19,06" << 1 << true << "25,15 €";
    QTest::newRow("a supplement that is no amount") << Groups{{"25,15", "19,06"}, {"vingt", "20"}} << 0 << "25,15"
                                                    << "19,06" << 1 << true << "25,15 €";
    QTest::newRow("empty supplements count as 0") << Groups{{"", ""}} << 0 << ""
                                                  << "" << 1 << false << "0,00 €";
    QTest::newRow("fewer than one group") << Groups{} << 43 << ""
                                          << "" << 0 << true << "0,00 €";
}

void TestFeeRules::supplementsOfTheTariffFile() {
    QFETCH(Groups, groups);
    QFETCH(int, extra);
    QTemporaryDir dir;
    const FeeComputation::Supplements s = FeeComputation::readSupplements(tariffFile(dir, groups, extra));
    QVERIFY(s.found);
    QTEST(s.night, "night");
    QTEST(s.holiday, "holiday");
    QTEST(s.groupsRead, "groupsRead");
    QTEST(s.failed, "failed");
    QTEST(FeeComputation::currencyCaption(s.night), "nightCaption");
    QVERIFY(!FeeComputation::readSupplements(dir.filePath(QStringLiteral("absent.cmt"))).found);
}

QTEST_GUILESS_MAIN(TestFeeRules)
#include "test_fee_rules.moc"
