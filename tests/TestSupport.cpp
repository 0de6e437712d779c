#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "store/Bulk.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/sqlite/Schema.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <cstdlib>

namespace obs::test {

namespace {
QString testServer() {
    return qEnvironmentVariable("OBSLEDGER_TEST_SERVER").trimmed();
}

std::unique_ptr<PgConnection> connectTo(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        qFatal("test server: %s", qPrintable(s.message));
    return db;
}
} // namespace

bool TempServerDatabase::available() {
    return !testServer().isEmpty();
}

TempServerDatabase::TempServerDatabase() {
    if (!available())
        qFatal("OBSLEDGER_TEST_SERVER is not set");
    m_name = QStringLiteral("obs_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate64(), 0, 36);
    // A database name is an identifier, not a value: this one is made of letters, digits and _.
    Status s = connectTo(testServer() + QStringLiteral(" dbname=postgres"))
                   ->script(QStringLiteral("CREATE DATABASE %1").arg(m_name));
    if (!s)
        qFatal("CREATE DATABASE: %s", qPrintable(s.message));
    m_conninfo = testServer() + QStringLiteral(" dbname=") + m_name;
    // The server's administrator makes the workstations' role once; tests running side by side may
    // both try.
    s = connectTo(testServer() + QStringLiteral(" dbname=postgres"))
            ->script(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object OR "
                                    "unique_violation THEN NULL; END $$")
                         .arg(kServerRole));
    if (!s)
        qFatal("CREATE ROLE: %s", qPrintable(s.message));
    m_db = connectTo(m_conninfo);
    s = createServerSchema(*m_db);
    if (!s)
        qFatal("server schema: %s", qPrintable(s.message));
}

TempServerDatabase::~TempServerDatabase() {
    m_db.reset();
    Status s;
    if (auto admin = PgConnection::open(testServer() + QStringLiteral(" dbname=postgres"), &s)) {
        admin->script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
        if (!m_login.isEmpty())
            admin->script(QStringLiteral("DROP ROLE IF EXISTS %1").arg(m_login));
    }
}

QString TempServerDatabase::userConninfo() {
    if (m_login.isEmpty()) {
        const QString login = m_name + QStringLiteral("_poste");
        const Status s =
            m_db->script(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2; GRANT CONNECT ON DATABASE %3 TO %1")
                             .arg(login, kServerRole, m_name));
        if (!s)
            qFatal("CREATE ROLE: %s", qPrintable(s.message));
        m_login = login;
    }
    // The last "user" of a connection string is the one taken.
    return m_conninfo + QStringLiteral(" user=") + m_login;
}

TempClinic::TempClinic(bool demo) {
    Q_UNUSED(demo);
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("app"));
    qputenv("XDG_CONFIG_HOME", QDir(m_dir.path()).filePath(QStringLiteral("config")).toUtf8());
    qputenv("OBSLEDGER_APPDIR", QDir(m_dir.path()).filePath(QStringLiteral("app")).toUtf8());
    m_dbPath = QDir(m_dir.path()).filePath(QStringLiteral("OBSLEDGER.mdb"));
    Status s;
    m_db = Database::create(m_dbPath, &s);
    if (!m_db || !createSchema(*m_db))
        qFatal("cannot create the test database: %s", qPrintable(s.message));
    Settings::setDatabasePath(m_dbPath);
    if (qEnvironmentVariable("OBSLEDGER_TEST_ENGINE") == QLatin1String("serveur")) {
        // A screen test run again on the server: skipped as a whole (ctest's skip code) without one.
        if (!TempServerDatabase::available()) {
            std::fprintf(stderr, "OBSLEDGER_TEST_SERVER n'est pas défini : test sur le serveur sauté.\n");
            std::exit(77);
        }
        m_server = std::make_unique<TempServerDatabase>();
        Settings::setServer(m_server->conninfo());
    }
    Dialogs::setTesting(true);
    Dialogs::clearShown();
    Dialogs::takeUnexpectedQuestions();
    clearEndRequest();
}

TempClinic::~TempClinic() {
    // A question the test did not expect is a fault of the screen or of the test.
    const QStringList unexpected = Dialogs::takeUnexpectedQuestions();
    if (!unexpected.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("question without a queued answer: ") + unexpected.join(" | ")),
                     __FILE__, __LINE__);
    m_browsed.reset();
    m_shared.close();
    if (m_db)
        m_db->close();
    m_server.reset();
}

void TempClinic::useWorkstationLogin() {
    if (m_server)
        Settings::setServer(m_server->userConninfo());
}

QString TempClinic::location() const {
    return m_server ? m_server->conninfo() : m_dbPath;
}

namespace {
// Inserts a row on the server, the file engine's column names taken as they stand.
qint64 serverInsert(PgConnection& db, const QString& table, const QString& id, const Fields& fields) {
    QStringList columns, marks;
    QVariantList binds;
    for (const auto& [name, value] : fields) {
        columns << (name.compare(QLatin1String("INDEX"), Qt::CaseInsensitive) == 0 ? QStringLiteral("\"index\"")
                                                                                   : name);
        marks << QStringLiteral("?");
        binds << value;
    }
    const QString sql = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2").arg(table, id)
                                          : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                                                .arg(table, columns.join(u','), marks.join(u','), id);
    qint64 number = 0;
    const Status s = db.exec(sql, binds, [&](const PgRow& r) {
        number = r.integer(0).value_or(0);
        return false;
    });
    if (!s)
        qFatal("insert into %s: %s", qPrintable(table), qPrintable(s.message));
    return number;
}
} // namespace

void TempClinic::execute(const QString& sql) {
    const Status s = m_server ? m_server->connection().script(sql) : m_db->executeRaw(sql);
    if (!s)
        qFatal("execute: %s", qPrintable(s.message));
}

void TempClinic::writeRates(const QByteArray& content) const {
    QFile rates(appDir() + QStringLiteral("/taux.cmt"));
    if (!rates.open(QIODevice::WriteOnly) || rates.write(content) != content.size())
        qFatal("cannot write the rates file");
}

QString TempClinic::appDir() const {
    return QDir(m_dir.path()).filePath(QStringLiteral("app"));
}

QString TempClinic::file(const QString& name) const {
    return QDir(m_dir.path()).filePath(name);
}

Database& TempClinic::db() {
    if (m_server)
        qFatal("this test reaches the file itself: it does not run on the server");
    return *m_db;
}

qint64 TempClinic::addAct(const Fields& fields) {
    if (m_server)
        return serverInsert(m_server->connection(), QStringLiteral("actes"), QStringLiteral("numint"), fields);
    qint64 id = 0;
    const Status s = m_db->insert(QStringLiteral("ACTES"), fields, &id);
    if (!s)
        qFatal("addAct: %s", qPrintable(s.message));
    return id;
}

qint64 TempClinic::addMemo(int category, const QString& text, const QString& ccam, const QString& tariff,
                           const QStringList& mutuals) {
    Fields f{{QStringLiteral("NUMEROS"), category}, {QStringLiteral("TEXTE"), text}};
    if (!ccam.isEmpty())
        f.emplace_back(QStringLiteral("CCAM"), ccam);
    if (!tariff.isEmpty())
        f.emplace_back(QStringLiteral("TARIFS"), moneyValue(Money::parse(tariff)));
    for (int k = 0; k < mutuals.size() && k < 6; ++k)
        f.emplace_back(QStringLiteral("MUT%1").arg(k + 1), moneyValue(Money::parse(mutuals[k])));
    if (m_server)
        return serverInsert(m_server->connection(), QStringLiteral("memo"), QStringLiteral("id"), f);
    qint64 id = 0;
    const Status s = m_db->insert(QStringLiteral("MEMO"), f, &id);
    if (!s)
        qFatal("addMemo: %s", qPrintable(s.message));
    return id;
}

QVariant TempClinic::scalar(const QString& sql) {
    QVariant v;
    if (m_server) {
        const Status s = m_server->connection().exec(sql, {}, [&](const PgRow& r) {
            if (!r.isNull(0))
                v = r.text(0);
            return false;
        });
        if (!s)
            qFatal("scalar: %s", qPrintable(s.message));
        return v;
    }
    const Status s = m_db->scalar(sql, &v);
    if (!s)
        qFatal("scalar: %s", qPrintable(s.message));
    return v;
}

qint64 TempClinic::count(const QString& table) {
    return scalar(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
}

QWidget* topLevel(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible())
            return w;
    }
    return nullptr;
}

QStringList itemTexts(const QAbstractItemView* view) {
    QStringList out;
    const QAbstractItemModel* model = view->model();
    for (int i = 0; model && i < model->rowCount(); ++i)
        out << model->index(i, 0).data().toString();
    return out;
}

MainWindow::MainWindow(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
    if (!form->load())
        qFatal("the main window did not open its database");
}

MainWindow::~MainWindow() = default;

QLineEdit* MainWindow::edit(const char* name) const {
    return child<QLineEdit>(form.get(), name);
}

QComboBox* MainWindow::combo(const char* name) const {
    return child<QComboBox>(form.get(), name);
}

void MainWindow::click(const char* name) const {
    child<QPushButton>(form.get(), name)->click();
}

void MainWindow::find(const QString& name) const {
    QTest::keyClicks(edit("Text1"), name);
}

void MainWindow::save() const {
    Dialogs::queueAnswer(true);
    click("CmdEnreg");
}

SearchScreen::SearchScreen(TempClinic& clinic) : form(new SearchWindow(clinic.database())) {}

SearchScreen::~SearchScreen() {
    delete form.data();
}

QLineEdit* SearchScreen::edit(const char* name) const {
    return child<QLineEdit>(form, name);
}

QLabel* SearchScreen::label(const char* name) const {
    return child<QLabel>(form, name);
}

QString SearchScreen::caption(const char* name) const {
    return label(name)->text();
}

QComboBox* SearchScreen::combo(const char* name) const {
    return child<QComboBox>(form, name);
}

QListView* SearchScreen::list(const char* name) const {
    return child<QListView>(form, name);
}

void SearchScreen::click(const char* name) const {
    child<QPushButton>(form, name)->click();
}

void SearchScreen::type(const char* box, const QString& text) const {
    QComboBox* c = combo(box);
    c->clearEditText();
    bool ascii = true;
    for (QChar ch : text)
        ascii = ascii && ch.unicode() < 128;
    if (ascii)
        QTest::keyClicks(c->lineEdit(), text);
    else
        c->lineEdit()->insert(text); // the test keyboard types ASCII only
}

void SearchScreen::period(const QString& from, const QString& to) const {
    edit("TxtDate1")->setText(from);
    edit("TxtDate2")->setText(to);
}

QStringList SearchScreen::lines(const char* name) const {
    return itemTexts(list(name));
}

QStringList SearchScreen::totals() const {
    return {caption("Label1"), caption("LblTotalActes"), caption("LblTotalActesF")};
}

void SearchScreen::pair(const QString& performer, const QString& followUp) const {
    combo("CmbPPrat2")->setEditText(performer);
    combo("CmbPPrat1")->setEditText(followUp);
}

QStringList SearchScreen::owed() const {
    return {caption("Label8"), caption("LblDejaVerse"), caption("LblDoit"), caption("LblDoitF")};
}

void SearchScreen::pay(const QString& sum) const {
    edit("TxtSommeRev")->setText(sum);
    click("CmdRev");
}

qint64 actsIn(const QString& path) {
    Status s;
    auto db = Database::open(path, &s);
    QVariant n;
    if (!db || !db->scalar(QStringLiteral("SELECT count(*) FROM ACTES"), &n))
        return -1;
    return n.toLongLong();
}

QVariant euros(const QString& text) {
    return moneyValue(Money::parse(text));
}

ProgramRun runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env, int timeoutMs) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not run: ") + p.errorString();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString builtProgram(const QString& name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

ProgramRun runAdmin(const QStringList& args, const QProcessEnvironment& env) {
    return runProgram(builtProgram(QStringLiteral("obsledger-admin")), args, env);
}

QStringList keptBeforeRestore(const QString& databasePath) {
    const QFileInfo base(databasePath);
    QStringList kept;
    for (const QString& name : base.absoluteDir().entryList({base.fileName() + QStringLiteral(".avant-restauration-*")},
                                                            QDir::Files, QDir::Name))
        if (!name.endsWith(QLatin1String("-journal")))
            kept << base.absoluteDir().filePath(name);
    return kept;
}

QString dayText(qint64 day) {
    return frenchDate(dateOfDayNumber(day));
}

QStringList paymentLines(const std::vector<JournalEntry>& entries) {
    QStringList out;
    for (const JournalEntry& e : entries) {
        if (e.kind == JournalKind::Payment || e.kind == JournalKind::ReversalPaid)
            out << QStringLiteral("%1:%2:%3:%4")
                       .arg(e.payer)
                       .arg(e.amount ? e.amount->units() : -1)
                       .arg(e.receivedOn ? dayText(*e.receivedOn) : QStringLiteral("-"))
                       .arg(e.mode ? paymentModeCode(*e.mode) : QStringLiteral("-"));
    }
    return out;
}

QString legacyFixture(const char* name) {
    // A copy of the test's own: an import into a server keeps the replaced base beside the register,
    // which must not be the source tree.
    static QTemporaryDir copies;
    const QString fileName = QString::fromLatin1(name);
    const QString copy = copies.filePath(fileName);
    if (!QFileInfo::exists(copy) && !QFile::copy(QDir(QStringLiteral(OBSLEDGER_LEGACY_DATA)).filePath(fileName), copy))
        qFatal("cannot copy the fixture %s", name);
    return copy;
}

// Reads a ';' file as a spreadsheet does: quoted fields may hold ';', '""' and line breaks.
QList<QStringList> readCsv(const QByteArray& bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        qFatal("no byte order mark");
    const QString text = QString::fromUtf8(bytes.mid(3));
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            inQuotes = true;
        } else if (c == u';') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            if (c == u'\n')
                qFatal("a bare line feed outside quotes");
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        qFatal("the last line does not end with CRLF");
    return rows;
}

QStringList journalDisagreements(const QString& location) {
    QStringList problems;
    Status s;
    auto store = Store::open(location, &s);
    if (!store)
        return {s.message};
    JournalCheck check;
    if (!(s = store->journal().verify(&check)))
        return {s.message};
    if (!check.intact)
        problems << check.problem;
    auto session = openMaintenanceSession(location, &s);
    if (!session)
        return problems << s.message;
    const QString sum = QStringLiteral("sum(CASE WHEN %1 THEN MONTANT ELSE 0 END)");
    const QString paid = QStringLiteral("NATURE IN ('paiement', 'reprise') AND PAYEUR = '%1'");
    const QString sql =
        QStringLiteral("SELECT a.NUMINT FROM ACTES a LEFT JOIN (SELECT NUMINT, %1 s, %2 c, %3 p, %4 r FROM JOURNAL "
                       "GROUP BY NUMINT) j ON j.NUMINT = a.NUMINT WHERE a.PAYESECU <> coalesce(j.s, 0) OR "
                       "a.PAYECOMPLE <> coalesce(j.c, 0) OR a.PAYEDE <> coalesce(j.p, 0) OR coalesce(a.REVERSE, 0) <> "
                       "coalesce(j.r, 0) ORDER BY a.NUMINT")
            .arg(sum.arg(paid.arg(QStringLiteral("secu"))), sum.arg(paid.arg(QStringLiteral("complementaire"))),
                 sum.arg(paid.arg(QStringLiteral("patiente"))),
                 sum.arg(QStringLiteral("NATURE = 'reversement' OR (NATURE = 'reprise' AND PAYEUR NOT IN ('secu', "
                                        "'complementaire', 'patiente'))")));
    s = session->run(sql, [&](const QStringList& row) {
        problems << QStringLiteral("acte %1 : totaux différents de son journal").arg(row.value(0));
    });
    if (!s)
        problems << s.message;
    return problems;
}

qint64 serverNumber(PgConnection& db, const QString& sql) {
    qint64 n = -1;
    const Status s = db.exec(sql, {}, [&](const PgRow& r) {
        n = r.integer(0).value_or(-1);
        return false;
    });
    if (!s)
        qWarning("%s: %s", qPrintable(sql), qPrintable(s.message));
    return n;
}

namespace {
constexpr int kKeyGapMs = 30;        // a fast typist's pace
constexpr int kReadingPauseMs = 400; // the time to read a question before answering it
constexpr int kBoxWaitMs = 5000;

QMessageBox* openBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}
} // namespace

void showRealBoxes() {
    QCoreApplication::processEvents();
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
    if (probe.exec() != 0) {
        // The application's own loop, run once, lets the others run again.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    clearEndRequest();
    Dialogs::setShowingBoxes(true);
}

FastTyping::FastTyping() : m_timer(std::make_unique<QTimer>()) {
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { sendNext(); });
}

FastTyping::~FastTyping() = default;

FastTyping& FastTyping::type(const QString& letters) {
    for (QChar c : letters)
        m_keys.append({QKeyCombination(), c, kKeyGapMs, false});
    return *this;
}

FastTyping& FastTyping::press(QKeyCombination key) {
    m_keys.append({key, QChar(), kKeyGapMs, false});
    return *this;
}

FastTyping& FastTyping::question(const QString& letters, QKeyCombination answer) {
    const qsizetype first = m_keys.size();
    type(letters);
    m_keys.append({answer, QChar(), kReadingPauseMs, false});
    m_keys[first].newBox = true;
    return *this;
}

void FastTyping::start() {
    if (!m_keys.isEmpty())
        m_timer->start(m_keys.first().pauseMs);
}

bool FastTyping::finish() {
    // An answer given by Alt and a letter lands a moment after its key (the button's click shows).
    return QTest::qWaitFor([this] { return m_returned == m_keys.size() && !openBox(); }, 30000);
}

void FastTyping::sendNext() {
    // A box still to come, or not yet active: looked for again shortly. Not waited for here, where it
    // could open deeper in this very call and never return to it.
    QMessageBox* box = openBox();
    const Key key = m_keys.at(m_sent);
    const bool ready = key.newBox ? box && box != m_lastBox && box->isActiveWindow() : !box || box->isActiveWindow();
    if (!ready) {
        if (!m_waited.isValid())
            m_waited.start();
        if (m_waited.elapsed() < kBoxWaitMs) {
            m_timer->start(10);
            return;
        }
    }
    m_waited.invalidate();
    // Keys go to a box, else to an open list (a combo box's), else to the focused control.
    QWidget* holder = box ? static_cast<QWidget*>(box) : QApplication::activePopupWidget();
    QWidget* target = holder ? (holder->focusWidget() ? holder->focusWidget() : holder) : QApplication::focusWidget();
    m_reached << (box ? box->text() : QString());
    if (box)
        m_lastBox = box;
    // The next key is on its way before this one is sent: the question it raises waits in its own loop.
    if (++m_sent < m_keys.size())
        m_timer->start(m_keys.at(m_sent).pauseMs);
    if (target && !key.letter.isNull())
        QTest::keyClick(target, key.letter.toLatin1());
    else if (target)
        QTest::keyClick(target, key.combination.key(), key.combination.keyboardModifiers());
    ++m_returned;
}

} // namespace obs::test
