// The statements the program sends for its frequent operations read the tables through their
// indexes, on the file and on the server: each operation is run through the store, every statement
// the engine prepared for it is taken from the statement log and the engine is asked how it would
// run it (EXPLAIN with the same values).
#include "TestSupport.h"

#include "store/StatementLog.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"

#include <QRegularExpression>
#include <QtTest>

using namespace obs;

namespace {

struct Logged {
    QString sql;
    QVariantList binds;
};

// The statements prepared while it lives.
class StatementRecorder {
public:
    StatementRecorder() {
        statementLog() = [this](const QString& sql, const QVariantList& binds) { m_logged.push_back({sql, binds}); };
    }
    ~StatementRecorder() { statementLog() = nullptr; }
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;
    void clear() { m_logged.clear(); }
    // The readings of the acts.
    std::vector<Logged> readingsOfActs() const {
        static const QRegularExpression acts(QStringLiteral("^\\s*(WITH|SELECT)\\b.*\\bactes\\b"),
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
        std::vector<Logged> out;
        for (const Logged& l : m_logged)
            if (acts.match(l.sql).hasMatch())
                out.push_back(l);
        return out;
    }

private:
    std::vector<Logged> m_logged;
};

const qint64 kFirstDay = 38000;
const int kActs = 30000;

Period yearOf(qint64 first) {
    return {first, first + 364};
}

} // namespace

class TestIndexUse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void operationReadsThroughAnIndex_data();
    void operationReadsThroughAnIndex();

private:
    QStringList plan(const Logged& statement);

    std::unique_ptr<obs::test::TempClinic> m_clinic;
    std::shared_ptr<Store> m_store;
    std::unique_ptr<PgConnection> m_server;
};

void TestIndexUse::initTestCase() {
    m_clinic = std::make_unique<obs::test::TempClinic>();
    // Ten years of acts, some hundred surnames, a few practitioners; the engine's statistics
    // refreshed as after a load.
    m_clinic->execute(QStringLiteral("WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < %1) "
                                     "INSERT INTO actes (nom, prenom, date, prix, de, medsuit, medacte, reverse) "
                                     "SELECT 'NOM' || (n % 97), 'Prénom' || n, %2 + n % 3650, n, n % 3, "
                                     "'Dr ' || (n % 7), 'Dr ' || (n % 5), 0 FROM g")
                          .arg(kActs)
                          .arg(kFirstDay));
    m_clinic->execute(QStringLiteral("ANALYZE"));
    if (m_clinic->onServer()) {
        Status s;
        m_server = PgConnection::open(m_clinic->location(), &s);
        QVERIFY2(m_server, qPrintable(s.message));
        QVERIFY(m_server->script(QStringLiteral("VACUUM (ANALYZE) actes")));
    }
    Status s;
    m_store = Store::open(m_clinic->location(), &s);
    QVERIFY2(m_store, qPrintable(s.message));
}

void TestIndexUse::cleanupTestCase() {
    m_store.reset();
    m_server.reset();
    m_clinic.reset();
}

// The engine's plan of a statement as the program sent it.
QStringList TestIndexUse::plan(const Logged& statement) {
    QStringList lines;
    if (m_server) {
        // VERBOSE: the text keys' functions appear as called, or inlined with their tables.
        const Status s =
            m_server->exec(QStringLiteral("EXPLAIN VERBOSE ") + statement.sql, statement.binds, [&](const PgRow& r) {
                lines << r.text(0);
                return true;
            });
        if (!s)
            qFatal("EXPLAIN: %s", qPrintable(s.message));
    } else {
        const Status s = m_clinic->db().queryRaw(QStringLiteral("EXPLAIN QUERY PLAN ") + statement.sql, statement.binds,
                                                 [&](const Row& r) {
                                                     lines << r.values().value(3).toString();
                                                     return true;
                                                 });
        if (!s)
            qFatal("EXPLAIN QUERY PLAN: %s", qPrintable(s.message));
    }
    return lines;
}

void TestIndexUse::operationReadsThroughAnIndex_data() {
    QTest::addColumn<QString>("operation");
    // The rows come in the operation's order from the index, without a sort of their own.
    QTest::addColumn<bool>("inIndexOrder");
    // On the file, the index the plan must name (empty: any).
    QTest::addColumn<QString>("fileIndex");
    QTest::newRow("one-year listing") << "year" << true << QString();
    QTest::newRow("one-year listing of one practitioner") << "year+performer" << false << "ACTES_FAIT";
    QTest::newRow("one-year listing of the follower") << "year+follower" << false << "ACTES_SUIVI";
    QTest::newRow("one-year listing of a pair of practitioners") << "year+pair" << false << QString();
    QTest::newRow("name typed, key after key") << "keystrokes" << true << QString();
    QTest::newRow("next and previous record") << "steps" << true << QString();
    QTest::newRow("sums of a pair of practitioners") << "pair sums" << false << QString();
    // The server sorts the pair's acts for it: its NULLS LAST is not the pair index's order.
    QTest::newRow("latest act of a pair") << "latest of pair" << false << QString();
}

void TestIndexUse::operationReadsThroughAnIndex() {
    QFETCH(QString, operation);
    QFETCH(bool, inIndexOrder);
    QFETCH(QString, fileIndex);
    const Period year = yearOf(kFirstDay + 730);
    StatementRecorder recorder;
    const auto list = [&](const SearchCriteria& criteria) {
        int rows = 0;
        QVERIFY(m_store->acts().listing(ListingKind::Search, year, criteria, [&](const ListingRow&) {
            ++rows;
            return true;
        }));
        QVERIFY(rows > 0);
    };
    if (operation == u"year") {
        list({});
    } else if (operation == u"year+performer") {
        list({{}, QStringLiteral("Dr 3")});
    } else if (operation == u"year+follower") {
        list({QStringLiteral("Dr 2")});
    } else if (operation == u"year+pair") {
        list({QStringLiteral("Dr 2"), QStringLiteral("Dr 3")});
    } else if (operation == u"keystrokes" || operation == u"steps") {
        Status s;
        auto cursor = m_store->browse(BrowseQuery::actsByName(), &s);
        QVERIFY2(cursor, qPrintable(s.message));
        bool matched = false;
        for (const char* typed : {"N", "NO", "NOM", "NOM5", "NOM55"}) {
            QVERIFY(cursor->findFirst(QString::fromLatin1(typed), &matched));
            QVERIFY(matched);
        }
        if (operation == u"steps") {
            recorder.clear(); // the steps alone
            BrowsedRecord record;
            QVERIFY(cursor->moveNext());
            QVERIFY(cursor->currentAfterMove(&record));
            QVERIFY(cursor->movePrevious());
            QVERIFY(cursor->currentAfterMove(&record));
        }
    } else if (operation == u"pair sums") {
        PairSums sums;
        QVERIFY(m_store->acts().pairSums(year, QStringLiteral("Dr 2"), QStringLiteral("Dr 3"), &sums));
        QVERIFY(sums.value.has_value());
    } else if (operation == u"latest of pair") {
        std::optional<qint64> number;
        QVERIFY(m_store->acts().latestOfPair(QStringLiteral("Dr 2"), QStringLiteral("Dr 3"), &number));
        QVERIFY(number.has_value());
    } else {
        QFAIL("unknown operation");
    }
    const std::vector<Logged> readings = recorder.readingsOfActs();
    statementLog() = nullptr;
    // The operation went through the engine's connection, where the log sees it.
    QVERIFY(!readings.empty());
    for (const Logged& statement : readings) {
        const QStringList lines = plan(statement);
        const QString text = lines.join(u'\n');
        const QString shown = statement.sql + QStringLiteral("\n") + text;
        if (m_server) {
            QVERIFY2(!text.contains(QStringLiteral("Seq Scan on public.actes")), qPrintable(shown));
            QVERIFY2(text.contains(QStringLiteral("Index")), qPrintable(shown));
            if (inIndexOrder)
                QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("(^|->  )Sort\\b"),
                                                           QRegularExpression::MultilineOption)),
                         qPrintable(shown));
            // The text keys' character tables are not inlined into the plan (some 15 ms a statement).
            QVERIFY2(text.size() < 4000, qPrintable(statement.sql + QStringLiteral("\n") + text.left(400)));
        } else {
            // A whole table read row by row: "SCAN actes" without an index.
            for (const QString& line : lines)
                QVERIFY2(!line.contains(QRegularExpression(QStringLiteral("^SCAN actes( AS \\w+)?$"),
                                                           QRegularExpression::CaseInsensitiveOption)),
                         qPrintable(shown));
            QVERIFY2(text.contains(QStringLiteral("USING")), qPrintable(shown));
            if (!fileIndex.isEmpty())
                QVERIFY2(text.contains(fileIndex), qPrintable(shown));
            if (inIndexOrder)
                QVERIFY2(!text.contains(QStringLiteral("TEMP B-TREE FOR ORDER BY")), qPrintable(shown));
        }
    }
}

QTEST_MAIN(TestIndexUse)
#include "test_index_use.moc"
