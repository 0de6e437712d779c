#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "store/sqlite/Schema.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

namespace obs::test {

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
    return *m_db;
}

qint64 TempClinic::addAct(const Fields& fields) {
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
    qint64 id = 0;
    const Status s = m_db->insert(QStringLiteral("MEMO"), f, &id);
    if (!s)
        qFatal("addMemo: %s", qPrintable(s.message));
    return id;
}

QVariant TempClinic::scalar(const QString& sql) {
    QVariant v;
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

void saveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("OBSLEDGER_SCREENS");
    if (folder.isEmpty())
        return;
    window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace obs::test
