// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/LegacyImport.h"

#include "common/AccessFile.h"
#include "common/DayNumber.h"
#include "common/Leftovers.h"
#include "common/Settings.h"
#include "domain/AccessExport.h"
#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "domain/ClinicCopy.h"
#include "domain/ServerBackup.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <set>

namespace obs {

namespace {

const QString kMdbtoolsMissing =
    QStringLiteral("mdbtools n'est pas installé : l'ancien registre ne peut pas être lu. Installez le paquet Debian "
                   "« mdbtools » (sudo apt install mdbtools), puis relancez l'import.");

// How a column of the old register is read.
enum class Kind {
    Number,  // Long: a whole number, empty kept empty
    Text,    // an empty text and a missing value alike become an empty text
    Day,     // Double day number: the time of day dropped, empty kept empty
    Amount,  // Currency (or Long euros): exact decimal text, empty kept empty
    Payment, // an amount of a payment: empty becomes 0, as for an unpaid act
};

struct ColumnRule {
    const char* name;
    Kind kind;
    bool required;
};

// Every column of the register, in the program's order.
const ColumnRule kActColumns[] = {
    {"NUMINT", Kind::Number, true},   {"Nom", Kind::Text, false},         {"Prenom", Kind::Text, false},
    {"Date", Kind::Day, false},       {"MEDSUIT", Kind::Text, false},     {"MEDACTE", Kind::Text, false},
    {"Acte", Kind::Text, false},      {"CCAM1", Kind::Text, false},       {"NF", Kind::Text, false},
    {"CCAM2", Kind::Text, false},     {"CCAM3", Kind::Text, false},       {"CCAM4", Kind::Text, false},
    {"CCAM5", Kind::Text, false},     {"CCAM6", Kind::Text, false},       {"PRIX", Kind::Amount, false},
    {"DE", Kind::Amount, false},      {"PAYESECU", Kind::Payment, false}, {"PAYECOMPLE", Kind::Payment, false},
    {"PAYEDE", Kind::Payment, false}, {"REVERSE", Kind::Amount, false},   {"DateRev", Kind::Day, false},
};
const ColumnRule kEntryColumns[] = {
    {"NUMEROS", Kind::Number, true}, {"TEXTE", Kind::Text, true},    {"CCAM", Kind::Text, false},
    {"TARIFS", Kind::Amount, false}, {"MUT1", Kind::Amount, false},  {"MUT2", Kind::Amount, false},
    {"MUT3", Kind::Amount, false},   {"MUT4", Kind::Amount, false},  {"MUT5", Kind::Amount, false},
    {"MUT6", Kind::Amount, false},   {"INDEX", Kind::Number, false},
};

// One value read, as the destination keeps it.
struct Value {
    QString text;
    std::optional<qint64> number; // whole number, day or amount in units
};

// The most whole euros an amount of the register is read with: beyond, the text is refused as
// too long rather than read wrong.
constexpr int kMostWholeDigits = 13;

// An amount in decimal text ("313.5000", "-25", "100") in units of 1/10000 euro, exactly, at any
// length: leading zeros are skipped, and a text with more whole digits than an amount can have
// gives nothing rather than a number wrapped around.
std::optional<qint64> unitsOf(const QString& text) {
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        ++i;
    qint64 whole = 0;
    int digits = 0, significant = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i, ++digits) {
        const int d = text[i].unicode() - '0';
        if (significant == 0 && d == 0)
            continue;
        if (++significant > kMostWholeDigits)
            return std::nullopt;
        whole = whole * 10 + d;
    }
    qint64 fraction = 0;
    int decimals = 0;
    if (i < text.size() && text[i] == u'.') {
        for (++i; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            const int d = text[i].unicode() - '0';
            if (decimals < 4) {
                fraction = fraction * 10 + d;
                ++decimals;
            } else if (d != 0) {
                return std::nullopt; // finer than the program keeps
            }
        }
    }
    if (i != text.size() || (digits == 0 && decimals == 0))
        return std::nullopt;
    for (int k = decimals; k < 4; ++k)
        fraction *= 10;
    const qint64 units = whole * Money::Scale + fraction;
    return negative ? -units : units;
}

// Why an amount's text cannot be read, in the report's words.
QString unreadableAmount(const QString& text) {
    qsizetype digits = 0;
    bool leading = true;
    for (QChar c : text) {
        if (c == u'.')
            break;
        if (c.isDigit() && c.unicode() < 128) {
            leading = leading && c == u'0';
            digits += leading ? 0 : 1;
        }
    }
    return digits > kMostWholeDigits ? QStringLiteral("est un montant trop long pour être un montant d'acte")
                                     : QStringLiteral("n'est pas un montant lisible (chiffres, point décimal et au "
                                                      "plus quatre décimales)");
}

// Reads one field; false with *what saying why it cannot be read.
bool readValue(const QString& field, Kind kind, Value* v, QString* what) {
    *v = Value();
    if (kind == Kind::Text) {
        v->text = field.isEmpty() ? QString(QLatin1String("")) : field;
        return true;
    }
    if (field.isEmpty()) {
        if (kind == Kind::Payment)
            v->number = 0;
        return true;
    }
    switch (kind) {
    case Kind::Number: {
        bool ok = false;
        v->number = field.toLongLong(&ok);
        if (!ok)
            *what = QStringLiteral("n'est pas un nombre entier");
        return ok;
    }
    case Kind::Day: {
        bool ok = false;
        const double d = field.toDouble(&ok);
        auto day = ok ? storedDayOf(d) : std::nullopt;
        // A date column of Access's own kind, printed as mdb-export is told (-T).
        if (!ok) {
            const QDate date = QDate::fromString(field.left(10), QStringLiteral("yyyy-MM-dd"));
            if (date.isValid()) {
                ok = true;
                day = storedDayOf(double(dayNumberOf(date)));
            }
        }
        if (!day) {
            *what = ok ? QStringLiteral("n'est pas une date des années 100 à 9999")
                       : QStringLiteral("n'est pas un numéro de jour");
            return false;
        }
        v->number = *day;
        return true;
    }
    case Kind::Amount:
    case Kind::Payment:
        v->number = unitsOf(field);
        if (!v->number)
            *what = unreadableAmount(field);
        return v->number.has_value();
    case Kind::Text:
        break;
    }
    return false;
}

// The register's columns found in an exported table, by name without regard to case.
struct ColumnMap {
    std::vector<int> position; // per rule: the column in the export, -1 when missing
};

template <size_t N>
bool mapColumns(const QString& table, const AccessTable& t, const ColumnRule (&rules)[N], ColumnMap* map,
                LegacyImportReport* report, QString* why) {
    QHash<QString, int> byName;
    for (int i = 0; i < t.columns.size(); ++i)
        byName.insert(t.columns[i].toUpper(), i);
    QSet<int> used;
    map->position.clear();
    for (const ColumnRule& rule : rules) {
        const int at = byName.value(QString::fromLatin1(rule.name).toUpper(), -1);
        map->position.push_back(at);
        if (at >= 0) {
            used.insert(at);
        } else if (rule.required) {
            *why = QStringLiteral("La table %1 n'a pas de colonne %2 : ce n'est pas l'ancien registre.")
                       .arg(table, QString::fromLatin1(rule.name));
            return false;
        } else {
            report->missingColumns << table + u'.' + QString::fromLatin1(rule.name);
        }
    }
    for (int i = 0; i < t.columns.size(); ++i)
        if (!used.contains(i))
            report->ignoredColumns << table + u'.' + t.columns[i];
    return true;
}

// Reads every field of a row by the rules; false with *why naming the line and the column.
template <size_t N>
bool readRow(const QString& table, const AccessTable& t, size_t row, const ColumnRule (&rules)[N], const ColumnMap& map,
             std::array<Value, N>* values, QString* why) {
    const QStringList& fields = t.rows[row];
    for (size_t i = 0; i < N; ++i) {
        const int at = map.position[i];
        QString what;
        if (!readValue(at >= 0 ? fields[at] : QString(), rules[i].kind, &(*values)[i], &what)) {
            *why = QStringLiteral("%1, ligne %2 de l'export, colonne %3 : « %4 » %5. Rien n'a été importé.")
                       .arg(table)
                       .arg(t.lines[row])
                       .arg(QString::fromLatin1(rules[i].name), at >= 0 ? fields[at].left(60) : QString(), what);
            return false;
        }
    }
    return true;
}

// The largest amount of either sign an act of the register can hold.
constexpr qint64 kLargestImportedUnits = qint64(1000000) * Money::Scale;

// Why a value read lies beyond what an act can hold; empty when it does not.
QString boundsProblem(Kind kind, bool actNumber, const Value& v, qint64 lastDay) {
    if (!v.number)
        return {};
    const qint64 n = *v.number;
    switch (kind) {
    case Kind::Amount:
    case Kind::Payment:
        if (n > kLargestImportedUnits || n < -kLargestImportedUnits)
            return QStringLiteral("montant hors des limites (de -1 000 000 € à 1 000 000 €)");
        break;
    case Kind::Day:
        if (n < 0)
            return QStringLiteral("date antérieure au jour 0 (30/12/1899)");
        if (n > lastDay)
            return QStringLiteral("date à plus de deux ans d'aujourd'hui");
        break;
    case Kind::Number:
        if (actNumber && n <= 0)
            return QStringLiteral("numéro d'acte de 0 ou moins");
        break;
    case Kind::Text:
        break;
    }
    return {};
}

// Adds to *found each value of a row beyond what an act can hold, naming line, column and value.
template <size_t N>
void findOutOfBounds(const QString& table, const AccessTable& t, size_t row, const ColumnRule (&rules)[N],
                     const ColumnMap& map, const std::array<Value, N>& values, bool acts, qint64 lastDay,
                     QStringList* found) {
    for (size_t i = 0; i < N; ++i) {
        const QString problem = boundsProblem(rules[i].kind, acts && i == 0, values[i], lastDay);
        if (!problem.isEmpty())
            *found << QStringLiteral("%1, ligne %2, colonne %3 : « %4 », %5")
                          .arg(table)
                          .arg(t.lines[row])
                          .arg(QString::fromLatin1(rules[i].name), t.rows[row][map.position[i]].left(60), problem);
    }
}

// The report's place of a MEMO list number.
size_t listSlot(const std::optional<qint64>& list) {
    switch (list.value_or(0)) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    case 5:
        return 3;
    case 6:
        return 4;
    default:
        return 5;
    }
}

std::optional<Money> money(const Value& v) {
    return v.number ? std::optional<Money>(Money::fromUnits(*v.number)) : std::nullopt;
}

// mdbtools reads a register of 20 000 acts in about a second; a damaged file may set it looping.
constexpr int kMdbToolTimeoutMs = 120000;

// Runs one of mdbtools' programs; a failure or anything on its error output means the file could
// not be read whole (mdbtools goes on past unreadable pages, saying so only there).
bool runMdbTool(const QString& tool, const QStringList& args, QByteArray* output, QString* why) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        *why = kMdbtoolsMissing;
        return false;
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Numbers with a decimal point whatever the clinic's language; texts of Access 97 files are in
    // the Windows code page.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!env.contains(QStringLiteral("MDB_JET3_CHARSET")))
        env.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("cp1252"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(30000)) {
        *why = QStringLiteral("%1 n'a pas pu être lancé : %2").arg(tool, p.errorString());
        return false;
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(kMdbToolTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        *why = QStringLiteral("%1 ne répond pas : le fichier est peut-être endommagé.").arg(tool);
        return false;
    }
    *output = p.readAllStandardOutput();
    const QString errors = QString::fromUtf8(p.readAllStandardError()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !errors.isEmpty()) {
        *why = QStringLiteral("Le fichier est endommagé ou incomplet (copie tronquée ?) : %1 le lit mal (%2).")
                   .arg(tool, errors.isEmpty() ? QStringLiteral("code %1").arg(p.exitCode())
                                               : errors.section(u'\n', 0, 1).simplified());
        return false;
    }
    return true;
}

// The sums of what was read, as the destination will give them back.
bool addTo(qint64* sum, const std::optional<qint64>& v) {
    return !v || !__builtin_add_overflow(*sum, *v, sum);
}

QString frenchNumber(qint64 n) {
    return QString::number(n);
}

QString durationText(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 2).replace(u'.', u',') + QStringLiteral(" s");
}

// Where the server's rows are kept before an import replaces them: the backup folder when one
// is set, else beside the Access file.
QString serverKeptCopyFolder(const QString& accessFile) {
    const QString folder = Settings::backupFolder();
    return folder.isEmpty() ? QFileInfo(accessFile).absolutePath() : folder;
}
const QString kServerBeforeImportStem = QStringLiteral("OBSLEDGER.avant-import");

// A file base is kept beside itself under the date of the import.
QString fileKeptCopyStem(const QString& database) {
    return QFileInfo(database).completeBaseName() + QStringLiteral("-avant-import");
}
QString fileKeptCopySuffix(const QString& database) {
    const QString suffix = QFileInfo(database).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix;
}

} // namespace

bool importLegacyRegister(const QString& accessFile, const QString& destination, bool replace,
                          LegacyImportReport* report, QString* why, OutOfBounds outOfBounds) {
    QElapsedTimer clock;
    clock.start();
    *report = LegacyImportReport();
    report->source = QFileInfo(accessFile).absoluteFilePath();
    report->destination = describeLocation(destination);
    const bool server = isServerLocation(destination);

    // The file itself, before anything is run.
    const QFileInfo info(accessFile);
    if (!info.isFile() || !info.isReadable()) {
        *why = QStringLiteral("Le fichier %1 est introuvable ou illisible.").arg(accessFile);
        return false;
    }
    if (!isAccessDatabaseFile(accessFile)) {
        *why = QStringLiteral("Le fichier %1 n'est pas une base Access (Jet) : ce n'est pas l'ancien registre.")
                   .arg(accessFile);
        return false;
    }
    {
        QFile f(accessFile);
        f.open(QIODevice::ReadOnly);
        f.seek(0x14);
        const QByteArray version = f.read(1);
        const qint64 page = version.isEmpty() || version.at(0) == 0 ? 2048 : 4096;
        if (info.size() < 2 * page || info.size() % page != 0) {
            *why = QStringLiteral("Le fichier %1 est incomplet (copie tronquée ?) : sa taille n'est pas un nombre "
                                  "entier de pages. Rien n'a été importé.")
                       .arg(accessFile);
            return false;
        }
    }
    for (const char* tool : {"mdb-ver", "mdb-tables", "mdb-export"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            *why = kMdbtoolsMissing;
            return false;
        }

    // The destination, held from its first look to the end of the check: a second command on it
    // waits, then gives up.
    const QString target = server ? destination : followedFilePath(destination);
    if (!server && !QFileInfo(QFileInfo(target).absolutePath()).isDir()) {
        *why =
            QStringLiteral("La destination %1 ne peut pas être créée : le dossier %2 est absent ou en lecture seule.")
                .arg(destination, QDir::toNativeSeparators(QFileInfo(target).absolutePath()));
        return false;
    }
    Status held;
    const std::unique_ptr<BaseHold> hold = holdBase(
        target, QStringLiteral("« obsledger-admin import » (processus %1)").arg(QCoreApplication::applicationPid()),
        kFileLockWaitMs, &held);
    if (!hold) {
        *why = held.error == StoreError::Locked ? held.message
                                                : QStringLiteral("La destination %1 ne peut pas être utilisée : %2")
                                                      .arg(report->destination, held.message);
        return false;
    }
    // Written only when it can be, and replaced only when asked.
    BaseHoldings before;
    bool existed = false;
    if (server) {
        Status s = readHoldings(destination, &before);
        if (!s) {
            *why =
                QStringLiteral(
                    "La destination %1 ne peut pas être utilisée (une base préparée par obsledger-admin init ?) : %2")
                    .arg(report->destination, s.message);
            return false;
        }
        existed = true;
    } else if (QFileInfo::exists(target)) {
        Status s = readHoldings(target, &before);
        if (!s) {
            *why = QStringLiteral("La destination %1 n'est pas une base Obsledger utilisable : %2")
                       .arg(destination, s.message);
            return false;
        }
        if (!QFileInfo(target).isWritable() || !QFileInfo(QFileInfo(target).absolutePath()).isWritable()) {
            *why = QStringLiteral("La destination %1 ne peut pas être écrite (fichier ou dossier en lecture seule).")
                       .arg(destination);
            return false;
        }
        existed = true;
    } else {
        const QFileInfo folder(QFileInfo(target).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            *why = QStringLiteral("La destination %1 ne peut pas être créée : le dossier %2 est absent ou en lecture "
                                  "seule.")
                       .arg(destination, QDir::toNativeSeparators(folder.absoluteFilePath()));
            return false;
        }
    }
    const bool holdsSomething = !before.empty();
    if (holdsSomething && !replace) {
        *why = QStringLiteral("La destination %1 contient déjà %2 : rien n'a été importé "
                              "(--replace pour la remplacer, une copie en sera gardée).")
                   .arg(report->destination, before.text());
        return false;
    }

    // The old register, read whole before anything is written.
    QByteArray out;
    if (!runMdbTool(QStringLiteral("mdb-ver"), {accessFile}, &out, why))
        return false;
    report->format = QString::fromUtf8(out).trimmed();
    if (!runMdbTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), accessFile}, &out, why))
        return false;
    QStringList tables = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    for (QString& t : tables)
        t = t.trimmed();
    auto tableNamed = [&](const QString& name) {
        for (const QString& t : std::as_const(tables))
            if (t.compare(name, Qt::CaseInsensitive) == 0)
                return t;
        return QString();
    };
    if (tables.isEmpty()) {
        *why =
            QStringLiteral("Le fichier %1 est endommagé ou incomplet : aucune table n'a pu être lue.").arg(accessFile);
        return false;
    }
    const QString actsTable = tableNamed(QStringLiteral("ACTES"));
    const QString memoTable = tableNamed(QStringLiteral("MEMO"));
    if (actsTable.isEmpty()) {
        *why = QStringLiteral("Le fichier %1 n'est pas une base de l'ancien registre : il n'a pas de table ACTES "
                              "(tables : %2). Rien n'a été importé.")
                   .arg(accessFile, tables.join(QStringLiteral(", ")));
        return false;
    }

    AccessTable actsRead, memoRead;
    QString problem;
    // Dates of Access's own kind, if a register has any, with their four-digit year.
    const QStringList exportOptions{QStringLiteral("-T"), QStringLiteral("%Y-%m-%d %H:%M:%S")};
    if (!runMdbTool(QStringLiteral("mdb-export"), exportOptions + QStringList{accessFile, actsTable}, &out, why))
        return false;
    if (!readAccessExport(out, &actsRead, &problem)) {
        *why = QStringLiteral("La table ACTES n'a pas pu être lue (%1). Rien n'a été importé.").arg(problem);
        return false;
    }
    if (!memoTable.isEmpty()) {
        if (!runMdbTool(QStringLiteral("mdb-export"), exportOptions + QStringList{accessFile, memoTable}, &out, why))
            return false;
        if (!readAccessExport(out, &memoRead, &problem)) {
            *why = QStringLiteral("La table MEMO n'a pas pu être lue (%1). Rien n'a été importé.").arg(problem);
            return false;
        }
    }
    out.clear();

    ColumnMap actsMap, memoMap;
    if (!mapColumns(QStringLiteral("ACTES"), actsRead, kActColumns, &actsMap, report, why))
        return false;
    if (memoTable.isEmpty())
        report->missingColumns << QStringLiteral("MEMO (table absente : aucun item)");
    else if (!mapColumns(QStringLiteral("MEMO"), memoRead, kEntryColumns, &memoMap, report, why))
        return false;

    // Rows as the program keeps them, and the figures the destination must give back.
    StoredFigures& read = report->read;
    std::vector<Act> acts;
    acts.reserve(actsRead.rows.size());
    std::set<qint64> numbers;
    const QString overflow = QStringLiteral("Les sommes de l'ancien registre dépassent ce que le programme tient : "
                                            "rien n'a été importé.");
    const qint64 lastDay = dayNumberOf(QDate::currentDate().addYears(2));
    for (size_t r = 0; r < actsRead.rows.size(); ++r) {
        std::array<Value, std::size(kActColumns)> v;
        if (!readRow(QStringLiteral("ACTES"), actsRead, r, kActColumns, actsMap, &v, why))
            return false;
        findOutOfBounds(QStringLiteral("ACTES"), actsRead, r, kActColumns, actsMap, v, true, lastDay,
                        &report->outOfBounds);
        if (!v[0].number) {
            *why = QStringLiteral("ACTES, ligne %1 de l'export : un acte sans NUMINT. Rien n'a été importé.")
                       .arg(actsRead.lines[r]);
            return false;
        }
        if (!numbers.insert(*v[0].number).second) {
            *why = QStringLiteral("ACTES, ligne %1 de l'export : le NUMINT %2 est en double. Rien n'a été importé.")
                       .arg(actsRead.lines[r])
                       .arg(*v[0].number);
            return false;
        }
        Act a;
        a.number = *v[0].number;
        a.surname = v[1].text;
        a.firstName = v[2].text;
        a.date = v[3].number;
        a.followedBy = v[4].text;
        a.performedBy = v[5].text;
        a.act = v[6].text;
        a.code = v[7].text;
        a.nightOrHoliday = v[8].text;
        for (int k = 0; k < 5; ++k)
            a.secondary[k] = v[9 + k].text;
        a.price = money(v[14]);
        a.excess = money(v[15]);
        a.paidSecu = money(v[16]);
        a.paidComplementary = money(v[17]);
        a.paidExcess = money(v[18]);
        a.reversed = money(v[19]);
        a.reversalDate = v[20].number;
        const int summed[] = {14, 15, 16, 17, 18, 19, 3, 20};
        for (size_t k = 0; k < std::size(summed); ++k)
            if (!addTo(&read.actSums[k], v[summed[k]].number)) {
                *why = overflow;
                return false;
            }
        acts.push_back(std::move(a));
    }
    read.acts = qint64(acts.size());
    read.numbers.assign(numbers.begin(), numbers.end());

    std::vector<StoredEntry> entries;
    entries.reserve(memoRead.rows.size());
    for (size_t r = 0; r < memoRead.rows.size(); ++r) {
        std::array<Value, std::size(kEntryColumns)> v;
        if (!readRow(QStringLiteral("MEMO"), memoRead, r, kEntryColumns, memoMap, &v, why))
            return false;
        findOutOfBounds(QStringLiteral("MEMO"), memoRead, r, kEntryColumns, memoMap, v, false, lastDay,
                        &report->outOfBounds);
        StoredEntry e;
        e.list = v[0].number;
        e.label = v[1].text;
        e.code = v[2].text;
        e.tariff = money(v[3]);
        for (int k = 0; k < 6; ++k)
            e.excesses[k] = money(v[4 + k]);
        e.index = v[10].number;
        report->entriesWithoutIndex += !e.index;
        ++report->lists[listSlot(e.list)];
        for (int k = 0; k < 7; ++k)
            if (!addTo(&read.entrySums[k], v[3 + k].number)) {
                *why = overflow;
                return false;
            }
        entries.push_back(std::move(e));
    }
    read.entries = qint64(entries.size());
    if (!report->outOfBounds.isEmpty() && outOfBounds == OutOfBounds::Refuse) {
        const qsizetype shown = std::min<qsizetype>(report->outOfBounds.size(), 10);
        *why = QStringLiteral("L'ancien registre contient %1 valeur(s) hors des limites d'un acte, sans doute un "
                              "fichier endommagé :\n  %2%3\nRien n'a été importé (--garder-hors-limites pour les "
                              "importer tout de même).")
                   .arg(report->outOfBounds.size())
                   .arg(report->outOfBounds.mid(0, shown).join(QStringLiteral("\n  ")),
                        shown < report->outOfBounds.size() ? QStringLiteral("\n  ...") : QString());
        return false;
    }

    // The base being replaced is kept first.
    if (holdsSomething) {
        QString failed;
        const QString folder = server ? serverKeptCopyFolder(accessFile) : QFileInfo(target).absolutePath();
        const QString stem = server ? kServerBeforeImportStem : fileKeptCopyStem(target);
        const QString suffix = server ? kServerCopySuffix : fileKeptCopySuffix(target);
        const QString kept = newKeptCopyPath(folder, stem, suffix);
        const bool done = server ? backupServer(destination, kept, &failed) : backupDatabase(target, kept, &failed);
        if (done)
            pruneKeptCopies(folder, stem, suffix);
        if (!done) {
            *why = QStringLiteral("La copie de la base remplacée n'a pas pu être faite (%1) : rien n'a été importé.")
                       .arg(failed);
            return false;
        }
        report->keptCopy = kept;
    }

    // A new file: made under a temporary name beside it, moved into place once found equal to the
    // register.
    if (!existed) {
        const bool made = makeNewBaseFile(
            target,
            [&](const QString& staged, QString* failed) {
                if (Status s = writeNewClinicFile(staged, acts, entries); !s) {
                    *failed = QStringLiteral("Les actes lus n'ont pas pu être écrits : %1. Rien n'a été importé.")
                                  .arg(s.message);
                    return false;
                }
                if (Status s = readStoredFigures(staged, &report->found); !s) {
                    *failed = QStringLiteral("La base importée n'a pas pu être relue pour la vérification : %1. Rien "
                                             "n'a été importé.")
                                  .arg(s.message);
                    return false;
                }
                report->matches = report->found == report->read;
                if (!report->matches)
                    *failed = QStringLiteral("La base importée ne correspond pas à l'ancien registre : voir le "
                                             "rapport. Rien n'a été importé.");
                return report->matches;
            },
            why);
        report->milliseconds = clock.elapsed();
        return made;
    }

    // Through a file of the program, then one copy: one transaction, numbers kept, both engines.
    removeDeadScratchFolders(QStringLiteral("obsledger-import"));
    QTemporaryDir scratch(scratchFolderTemplate(QStringLiteral("obsledger-import")));
    if (!scratch.isValid()) {
        *why = QStringLiteral("Dossier temporaire impossible à créer : %1").arg(scratch.errorString());
        return false;
    }
    const Leftover stagedFolder(scratch.path(), true);
    const QString staged = scratch.filePath(QStringLiteral("OBSLEDGER.mdb"));
    if (Status s = writeNewClinicFile(staged, acts, entries); !s) {
        *why = QStringLiteral("Les actes lus n'ont pas pu être préparés : %1. Rien n'a été importé.").arg(s.message);
        return false;
    }
    acts.clear();
    entries.clear();
    QString failed;
    if (!copyClinic(staged, target, true, &failed)) {
        *why = QStringLiteral("L'import a échoué : %1").arg(failed);
        return false;
    }

    // The destination against the source.
    if (Status s = readStoredFigures(target, &report->found); !s) {
        *why = QStringLiteral("La base importée n'a pas pu être relue pour la vérification : %1").arg(s.message);
        report->milliseconds = clock.elapsed();
        return false;
    }
    report->matches = report->found == report->read;
    report->milliseconds = clock.elapsed();
    if (!report->matches) {
        *why = QStringLiteral("La base importée ne correspond pas à l'ancien registre : voir le rapport.");
        return false;
    }
    return true;
}

QString LegacyImportReport::text() const {
    QStringList lines;
    lines << QStringLiteral("Import de %1 (%2) vers %3")
                 .arg(QDir::toNativeSeparators(source), format.isEmpty() ? QStringLiteral("?") : format, destination);
    auto counted = [&](const QString& table, qint64 a, qint64 b) {
        lines << QStringLiteral("  %1 : %2 lignes lues, %3 dans la base%4")
                     .arg(table, frenchNumber(a), frenchNumber(b), a == b ? QString() : QStringLiteral("  ÉCART"));
    };
    counted(QStringLiteral("ACTES"), read.acts, found.acts);
    counted(QStringLiteral("MEMO "), read.entries, found.entries);
    // A register whose lists sit under other numbers shows here at once.
    lines << QStringLiteral("  Listes de MEMO : %1 praticiens (1), %2 actes d'accouchement (2), %3 actes de chirurgie "
                            "(3), %4 praticien par défaut (5), %5 mutuelles (6), %6 autres")
                 .arg(lists[0])
                 .arg(lists[1])
                 .arg(lists[2])
                 .arg(lists[3])
                 .arg(lists[4])
                 .arg(lists[5]);
    if (!read.numbers.empty())
        lines << QStringLiteral("  Numéros des actes (NUMINT) : %1 à %2, %3%4")
                     .arg(frenchNumber(read.numbers.front()), frenchNumber(read.numbers.back()),
                          read.numbers == found.numbers ? QStringLiteral("tous repris à l'identique")
                                                        : QStringLiteral("ÉCART"),
                          read.numbers == found.numbers ? QStringLiteral(" ; le prochain acte prendra le numéro %1")
                                                              .arg(frenchNumber(read.numbers.back() + 1))
                                                        : QString());
    lines << QStringLiteral("  Sommes par colonne          ancien registre      nouvelle base");
    auto sumLine = [&](const QString& name, const QString& a, const QString& b, bool same) {
        lines << QStringLiteral("  %1 %2 %3%4")
                     .arg(name.leftJustified(24), a.rightJustified(20), b.rightJustified(18),
                          same ? QString() : QStringLiteral("  ÉCART"));
    };
    for (size_t k = 0; k < kSummedActColumns.size(); ++k) {
        const QString name = QStringLiteral("ACTES.") + QString::fromLatin1(kSummedActColumns[k]);
        const bool day = k >= 6;
        auto shown = [&](qint64 v) {
            return day ? frenchNumber(v) + QStringLiteral(" j") : Money::fromUnits(v).toEuroText();
        };
        sumLine(name, shown(read.actSums[k]), shown(found.actSums[k]), read.actSums[k] == found.actSums[k]);
    }
    for (size_t k = 0; k < kSummedEntryColumns.size(); ++k)
        sumLine(QStringLiteral("MEMO.") + QString::fromLatin1(kSummedEntryColumns[k]),
                Money::fromUnits(read.entrySums[k]).toEuroText(), Money::fromUnits(found.entrySums[k]).toEuroText(),
                read.entrySums[k] == found.entrySums[k]);
    if (!missingColumns.isEmpty())
        lines << QStringLiteral("  Colonnes absentes de l'ancien registre, prises vides : %1")
                     .arg(missingColumns.join(QStringLiteral(", ")));
    if (!ignoredColumns.isEmpty())
        lines << QStringLiteral("  Colonnes inconnues, ignorées : %1").arg(ignoredColumns.join(QStringLiteral(", ")));
    if (entriesWithoutIndex > 0)
        lines << QStringLiteral("  MEMO : %1 item(s) sans INDEX placé(s) après les autres, comme un item ajouté")
                     .arg(entriesWithoutIndex);
    if (!outOfBounds.isEmpty())
        lines << QStringLiteral("  Valeurs hors limites importées à la demande (--garder-hors-limites) : %1")
                     .arg(outOfBounds.size())
              << QStringLiteral("    ") + outOfBounds.join(QStringLiteral("\n    "));
    if (!keptCopy.isEmpty())
        lines << QStringLiteral("  La base remplacée est conservée dans %1").arg(QDir::toNativeSeparators(keptCopy));
    const double perThousand = read.acts > 0 ? double(milliseconds) * 1000.0 / double(read.acts) : 0.0;
    lines << QStringLiteral("  Durée : %1 (%2 pour 1 000 actes)")
                 .arg(durationText(milliseconds), durationText(qint64(perThousand)));
    lines << (matches ? QStringLiteral("Import vérifié : la nouvelle base correspond à l'ancien registre.")
                      : QStringLiteral("ÉCHEC de la vérification : la nouvelle base ne correspond pas à l'ancien "
                                       "registre (lignes marquées ÉCART)."));
    return lines.join(u'\n') + u'\n';
}

} // namespace obs
