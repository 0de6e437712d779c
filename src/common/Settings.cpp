#include "common/Settings.h"

#include "common/AppPaths.h"
#include "common/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace obs {

namespace {

QStringList readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    QStringList lines;
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

bool isSectionLine(const QString& t, QString* name) {
    const QString s = t.trimmed();
    if (s.size() >= 2 && s.startsWith(u'[') && s.endsWith(u']')) {
        *name = s.mid(1, s.size() - 2).trimmed();
        return true;
    }
    return false;
}

bool isKeyLine(const QString& t, QString* key, QString* value) {
    const QString s = t.trimmed();
    if (s.isEmpty() || s.startsWith(u';') || s.startsWith(u'#'))
        return false;
    const int eq = s.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = s.left(eq).trimmed();
    *value = s.mid(eq + 1).trimmed();
    return true;
}

} // namespace

QString Settings::folder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::home().filePath(QStringLiteral(".config"));
    return base;
}

QString Settings::fileFor(const QString& app) {
    const QDir dir(folder());
    const QString wanted = app + QStringLiteral(".ini");
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return dir.filePath(app.toUpper() + QStringLiteral(".ini"));
}

QString Settings::value(const QString& app, const QString& section, const QString& key, const QString& defaultValue) {
    const QStringList lines = readLines(fileFor(app));
    bool inSection = false;
    for (const QString& line : lines) {
        QString name, k, v;
        if (isSectionLine(line, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
        } else if (inSection && isKeyLine(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            return v;
        }
    }
    return defaultValue;
}

bool Settings::setValue(const QString& app, const QString& section, const QString& key, const QString& value,
                        QString* error) {
    const QString path = fileFor(app);
    QStringList lines = readLines(path);
    bool inSection = false;
    int sectionEnd = -1; // index after the last line of the matching section
    bool written = false;
    for (int i = 0; i < lines.size(); ++i) {
        QString name, k, v;
        if (isSectionLine(lines[i], &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                sectionEnd = i + 1;
        } else if (inSection) {
            if (isKeyLine(lines[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
                if (value.isNull())
                    lines.removeAt(i);
                else
                    lines[i] = k + u'=' + value; // keep the stored spelling of the key
                written = true;
                break;
            }
            if (!lines[i].trimmed().isEmpty())
                sectionEnd = i + 1;
        }
    }
    if (!written && value.isNull())
        return true; // nothing to remove
    if (!written) {
        if (sectionEnd < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QString();
            lines << u'[' + section + u']';
            sectionEnd = lines.size();
        }
        lines.insert(sectionEnd, key + u'=' + value);
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("Impossible de créer le dossier %1.").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    // The file names the clinic's base and server: its user's alone.
    if (!restrictToClinic(f, path, error, FileReaders::Owner))
        return false;
    QTextStream out(&f);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString& l : lines)
        out << l << '\n';
    out.flush();
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

QString Settings::databasePath() {
    return value(kSettingsApp, kSettingsSection, QStringLiteral("CHEMIN"), applicationFolder());
}

std::optional<QString> Settings::databasePathSet() {
    const QString none = QStringLiteral("\x01");
    const QString path = value(kSettingsApp, kSettingsSection, QStringLiteral("CHEMIN"), none);
    if (path == none)
        return std::nullopt;
    return path;
}

QString Settings::backupFolder() {
    return value(kSettingsApp, kSettingsSection, QStringLiteral("SAUVE"));
}

bool Settings::setBackupFolder(const QString& folder, QString* error) {
    return setValue(QStringLiteral("Marigold"), kSettingsSection, QStringLiteral("Sauve"), folder, error);
}

QString Settings::server() {
    return value(kSettingsApp, kSettingsSection, QStringLiteral("SERVEUR")).trimmed();
}

bool Settings::setServer(const QString& conninfo, QString* error) {
    const QString v = conninfo.trimmed();
    return setValue(kSettingsApp, kSettingsSection, QStringLiteral("SERVEUR"), v.isEmpty() ? QString() : v, error);
}

QString Settings::databaseLocation() {
    const QString s = server();
    return s.isEmpty() ? databasePath() : s;
}

bool Settings::setDatabasePath(const QString& path, QString* error) {
    return setValue(kSettingsApp, kSettingsSection, QStringLiteral("CHEMIN"), path, error);
}

namespace {
QString periodKey(Settings::PeriodOf screen) {
    switch (screen) {
    case Settings::PeriodOf::Search:
        return QStringLiteral("RECHERCHE");
    case Settings::PeriodOf::Reversal:
        return QStringLiteral("REVERSEMENT");
    case Settings::PeriodOf::Receipts:
        break;
    }
    return QStringLiteral("RECETTES");
}
} // namespace

Settings::Period Settings::period(PeriodOf screen) {
    const QString key = periodKey(screen);
    return {value(kSettingsApp, kSettingsSection, key + QStringLiteral("_DU")),
            value(kSettingsApp, kSettingsSection, key + QStringLiteral("_AU"))};
}

void Settings::setPeriod(PeriodOf screen, const Period& period) {
    // Only a convenience: a settings file that cannot be written costs the user nothing else.
    const QString key = periodKey(screen);
    for (const auto& [suffix, date] :
         {std::pair{QStringLiteral("_DU"), period.first}, std::pair{QStringLiteral("_AU"), period.last}}) {
        if (value(kSettingsApp, kSettingsSection, key + suffix) != date)
            setValue(kSettingsApp, kSettingsSection, key + suffix, date);
    }
}

Settings::LedgerAccounts Settings::ledgerAccounts() {
    auto account = [](const char* role, const char* number, const char* label) {
        const QString key = QStringLiteral("FEC_") + QLatin1String(role);
        const QString n = value(kSettingsApp, kSettingsSection, key).trimmed();
        const QString l = value(kSettingsApp, kSettingsSection, key + QStringLiteral("_LIB")).trimmed();
        return LedgerAccount{n.isEmpty() ? QString::fromUtf8(number) : n, l.isEmpty() ? QString::fromUtf8(label) : l};
    };
    return {account("JOURNAL", "TR", "Trésorerie"),
            account("BANQUE", "512000", "Banque"),
            account("CAISSE", "530000", "Caisse"),
            account("HONORAIRES", "706000", "Honoraires"),
            account("RETRO_RECUES", "706100", "Rétrocessions d'honoraires reçues"),
            account("RETRO_VERSEES", "622600", "Rétrocessions d'honoraires versées")};
}

Money Settings::reversalThreshold(QString* problem) {
    const Money usual = Money::fromEuros(1200);
    const QString set = value(kSettingsApp, kSettingsSection, QStringLiteral("SEUIL_RETROCESSIONS")).trimmed();
    if (problem)
        problem->clear();
    if (set.isEmpty())
        return usual;
    QString typed = set;
    typed.remove(u' ').remove(QChar(0x00A0)).remove(QChar(0x202F)).remove(QChar(0x20AC));
    const std::optional<Money> amount = Money::parse(typed);
    if (amount && *amount > Money())
        return *amount;
    if (problem)
        *problem = QStringLiteral("Le réglage SEUIL_RETROCESSIONS « %1 » n'est pas un montant : le seuil de "
                                  "1 200,00 € est retenu.")
                       .arg(set);
    return usual;
}

} // namespace obs
