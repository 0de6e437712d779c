#include "TestSupport.h"

#include "common/Money.h"
#include "common/Settings.h"
#include "store/sqlite/Schema.h"
#include "store/SharedStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QDir>
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
    SharedStore::instance().reset();
    Dialogs::setTesting(true);
    Dialogs::clearShown();
    clearEndRequest();
}

TempClinic::~TempClinic() {
    SharedStore::instance().reset();
    if (m_db)
        m_db->close();
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

} // namespace obs::test
