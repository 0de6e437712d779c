// The columns of the mutual insurers' amounts when the insurer list changes.
#include "domain/MutualSlots.h"

#include <QtTest>

using namespace obs;
using namespace obs::MutualSlots;

namespace {

// A list in slot order from its labels; ids are given by the letters' place in `ids`.
std::vector<Insurer> insurers(const QStringList& labels, const QList<qint64>& ids) {
    std::vector<Insurer> list;
    for (qsizetype i = 0; i < labels.size(); ++i)
        list.push_back({ids[i], labels[i]});
    return list;
}

using Sources = QList<int>; // per column after the change: the column before, 0 for none

} // namespace

class TestMutualSlots : public QObject {
    Q_OBJECT
private slots:
    void planOfChange_data();
    void planOfChange();
    void questionNamesEveryMove();
    void emptiedColumns_data();
    void emptiedColumns();
    void questionSaysTheLoss_data();
    void questionSaysTheLoss();
};

void TestMutualSlots::planOfChange_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QList<qint64>>("beforeIds");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QList<qint64>>("afterIds");
    QTest::addColumn<Sources>("sources");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<bool>("loses");

    // Three insurers C, A, B (ids 1, 2, 3) sort as A, B, C.
    QTest::newRow("three, unchanged") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                      << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                      << Sources{1, 2, 3, 4, 5, 6} << false << false;
    QTest::newRow("three, AA added") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                     << QStringList{"A", "AA", "B", "C"} << QList<qint64>{2, -1, 3, 1}
                                     << Sources{1, 0, 2, 3, 5, 6} << true << false;
    QTest::newRow("three, D added last") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                         << QStringList{"A", "B", "C", "D"} << QList<qint64>{2, 3, 1, -1}
                                         << Sources{1, 2, 3, 0, 5, 6} << false << false;
    QTest::newRow("three, A renamed Z") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                        << QStringList{"B", "C", "Z"} << QList<qint64>{3, 1, 2}
                                        << Sources{2, 3, 1, 4, 5, 6} << true << false;
    QTest::newRow("three, B renamed Bb") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1}
                                         << QStringList{"A", "Bb", "C"} << QList<qint64>{2, 3, 1}
                                         << Sources{1, 2, 3, 4, 5, 6} << false << false;
    QTest::newRow("three, A removed") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1} << QStringList{"B", "C"}
                                      << QList<qint64>{3, 1} << Sources{2, 3, 0, 4, 5, 6} << true << false;
    QTest::newRow("three, C removed") << QStringList{"A", "B", "C"} << QList<qint64>{2, 3, 1} << QStringList{"A", "B"}
                                      << QList<qint64>{2, 3} << Sources{1, 2, 0, 4, 5, 6} << false << false;
    // Six: a seventh sorting first pushes the sixth out.
    QTest::newRow("six, AA added") << QStringList{"A", "B", "C", "D", "E", "F"} << QList<qint64>{1, 2, 3, 4, 5, 6}
                                   << QStringList{"A", "AA", "B", "C", "D", "E", "F"}
                                   << QList<qint64>{1, -1, 2, 3, 4, 5, 6} << Sources{1, 0, 2, 3, 4, 5} << true << true;
    QTest::newRow("six, Z added") << QStringList{"A", "B", "C", "D", "E", "F"} << QList<qint64>{1, 2, 3, 4, 5, 6}
                                  << QStringList{"A", "B", "C", "D", "E", "F", "Z"}
                                  << QList<qint64>{1, 2, 3, 4, 5, 6, -1} << Sources{1, 2, 3, 4, 5, 6} << false << false;
    // Seven: removing one brings the seventh in, without amounts.
    QTest::newRow("seven, B removed") << QStringList{"A", "B", "C", "D", "E", "F", "G"}
                                      << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << QStringList{"A", "C", "D", "E", "F", "G"}
                                      << QList<qint64>{1, 3, 4, 5, 6, 7} << Sources{1, 3, 4, 5, 6, 0} << true << false;
    QTest::newRow("seven, G renamed AA") << QStringList{"A", "B", "C", "D", "E", "F", "G"}
                                         << QList<qint64>{1, 2, 3, 4, 5, 6, 7}
                                         << QStringList{"A", "AA", "B", "C", "D", "E", "F"}
                                         << QList<qint64>{1, 7, 2, 3, 4, 5, 6} << Sources{1, 0, 2, 3, 4, 5} << true
                                         << true;
    // Two entries with one label are told apart by their identity.
    QTest::newRow("same label twice, first renamed")
        << QStringList{"MGEN", "MGEN"} << QList<qint64>{1, 2} << QStringList{"MGEN", "MGEN Filia"}
        << QList<qint64>{2, 1} << Sources{2, 1, 3, 4, 5, 6} << true << false;
}

void TestMutualSlots::planOfChange() {
    QFETCH(QStringList, before);
    QFETCH(QList<qint64>, beforeIds);
    QFETCH(QStringList, after);
    QFETCH(QList<qint64>, afterIds);
    QFETCH(Sources, sources);
    QFETCH(bool, moves);
    QFETCH(bool, loses);
    const Plan p = plan(insurers(before, beforeIds), insurers(after, afterIds));
    Sources got;
    for (const auto& s : p.sourceOf)
        got << s.value_or(0);
    QCOMPARE(got, sources);
    QCOMPARE(p.movesInsurers(), moves);
    QCOMPARE(p.losesAmounts(), loses);
    QCOMPARE(p.rewritesColumns(), got != (Sources{1, 2, 3, 4, 5, 6}));
    // The same lists give the same plan: what the user agreed to can be checked again.
    QVERIFY(p == plan(insurers(before, beforeIds), insurers(after, afterIds)));
}

void TestMutualSlots::questionNamesEveryMove() {
    const Plan p = plan(insurers({"A", "B", "MGEN", "D", "E", "F", "G"}, {1, 2, 3, 4, 5, 6, 7}),
                        insurers({"A", "AA", "B", "MGEN", "D", "E", "F", "G"}, {1, -1, 2, 3, 4, 5, 6, 7}));
    const QString q = question(p);
    QVERIFY(q.contains(QStringLiteral("« MGEN » passe de la colonne 3 à la colonne 4\n")));
    QVERIFY(q.contains(QStringLiteral("« B » passe de la colonne 2 à la colonne 3\n")));
    QVERIFY(q.contains(QStringLiteral("« F » sort des six colonnes (colonne 6) : ses montants seront perdus")));
    QVERIFY(q.contains(QStringLiteral("« AA » prend la colonne 2, sans montant")));
    QVERIFY(!q.contains(QStringLiteral("« A »")));
    QVERIFY(!q.contains(QStringLiteral("« G »"))); // had no column and gets none
    QVERIFY(q.endsWith(u'?'));
}

void TestMutualSlots::emptiedColumns_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QList<qint64>>("beforeIds");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QList<qint64>>("afterIds");
    QTest::addColumn<Sources>("emptied");
    QTest::newRow("first insurer of an empty list")
        << QStringList{} << QList<qint64>{} << QStringList{"A"} << QList<qint64>{-1} << Sources{1};
    QTest::newRow("three, D added last") << QStringList{"A", "B", "C"} << QList<qint64>{1, 2, 3}
                                         << QStringList{"A", "B", "C", "D"} << QList<qint64>{1, 2, 3, -1} << Sources{4};
    QTest::newRow("three, C removed") << QStringList{"A", "B", "C"} << QList<qint64>{1, 2, 3} << QStringList{"A", "B"}
                                      << QList<qint64>{1, 2} << Sources{3};
    QTest::newRow("three, A renamed Z") << QStringList{"A", "B", "C"} << QList<qint64>{1, 2, 3}
                                        << QStringList{"B", "C", "Z"} << QList<qint64>{2, 3, 1} << Sources{};
    QTest::newRow("six, AA added") << QStringList{"A", "B", "C", "D", "E", "F"} << QList<qint64>{1, 2, 3, 4, 5, 6}
                                   << QStringList{"A", "AA", "B", "C", "D", "E", "F"}
                                   << QList<qint64>{1, -1, 2, 3, 4, 5, 6} << Sources{6};
    QTest::newRow("six, Z added past them")
        << QStringList{"A", "B", "C", "D", "E", "F"} << QList<qint64>{1, 2, 3, 4, 5, 6}
        << QStringList{"A", "B", "C", "D", "E", "F", "Z"} << QList<qint64>{1, 2, 3, 4, 5, 6, -1} << Sources{};
}

void TestMutualSlots::emptiedColumns() {
    QFETCH(QStringList, before);
    QFETCH(QList<qint64>, beforeIds);
    QFETCH(QStringList, after);
    QFETCH(QList<qint64>, afterIds);
    QFETCH(Sources, emptied);
    const std::vector<int> got =
        MutualSlots::emptiedColumns(plan(insurers(before, beforeIds), insurers(after, afterIds)));
    QCOMPARE(Sources(got.begin(), got.end()), emptied);
}

void TestMutualSlots::questionSaysTheLoss_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<qint64>("acts");
    QTest::addColumn<QString>("amount"); // empty: too large to be summed
    QTest::addColumn<Sources>("columns");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("first insurer, one act")
        << QStringList{} << QStringList{"A"} << qint64(1) << "12,5" << Sources{1}
        << QStringList{"vide des colonnes", "« A » prend la colonne 1, sans montant",
                       "Les montants de la colonne 1 seront effacés : 1 acte perd 12,5 € de dépassement",
                       "Faire ce changement et effacer ces montants ?"};
    QTest::newRow("moves and a loss in two columns")
        << QStringList{"A", "B", "C", "D", "E", "F"} << QStringList{"A", "AA", "B", "C", "D", "E", "F"} << qint64(3)
        << "" << Sources{2, 6}
        << QStringList{"déplace leurs colonnes", "« F » sort des six colonnes (colonne 6)",
                       "Les montants des colonnes 2 et 6 seront effacés : 3 actes perdent en tout un montant trop "
                       "grand pour être calculé de dépassement",
                       "avec leur mutuelle ?"};
    QTest::newRow("moves without a loss") << QStringList{"B", "C"} << QStringList{"A", "B", "C"} << qint64(0) << "0"
                                          << Sources{} << QStringList{"déplace leurs colonnes", "avec leur mutuelle ?"};
}

void TestMutualSlots::questionSaysTheLoss() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(qint64, acts);
    QFETCH(QString, amount);
    QFETCH(Sources, columns);
    QFETCH(QStringList, said);
    // Ids follow the labels; a label only in `after` is new.
    QList<qint64> beforeIds, afterIds;
    for (qsizetype i = 0; i < before.size(); ++i)
        beforeIds << i + 1;
    for (const QString& label : after)
        afterIds << (before.contains(label) ? before.indexOf(label) + 1 : -1);
    Loss loss;
    loss.acts = acts;
    loss.amount = amount.isEmpty() ? std::nullopt : Money::parse(amount);
    loss.columns.assign(columns.begin(), columns.end());
    const QString q = question(plan(insurers(before, beforeIds), insurers(after, afterIds)), loss);
    for (const QString& line : said)
        QVERIFY2(q.contains(line), qPrintable(q));
    QCOMPARE(q.contains(QStringLiteral("seront effacés")), acts > 0);
}

QTEST_MAIN(TestMutualSlots)
#include "test_mutual_slots.moc"
