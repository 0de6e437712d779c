// SPDX-License-Identifier: GPL-3.0-or-later
// An installed program: --help, --version and wrong options of both programs run as processes,
// and the application folder of a program whose own folder is read-only.
#include "TestSupport.h"
#include "app/Navigator.h"
#include "common/AppPaths.h"
#include "common/CommandLine.h"
#include "common/QuotedFieldFile.h"
#include "common/Version.h"
#include "domain/TariffFile.h"
#include "domain/UsualFiles.h"
#include "reference/TariffEditor.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace obs;
using namespace obs::test;

namespace {

using Run = ProgramRun;

// Runs one of the built programs with no screen at all, in a home of its own: a program that
// went past its command line would stop on the missing screen or touch that home.
Run runProgram(const QString& program, const QStringList& args, const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "OBSLEDGER_APPDIR"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    return obs::test::runProgram(builtProgram(program), args, env, 30000);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void helpStopsBeforeTheCommand();
    void manualNamesEveryCommand_data();
    void manualNamesEveryCommand();
    void adminFilesKeepsExistingFiles();
    void folderOrder_data();
    void folderOrder();
    void usualFilesWrittenOnceInDataFolder();
    void tariffEditorSavesWithReadOnlyProgramFolder();
    void cleanup();
};

void TestInstall::cleanup() {
    simulateProgramFolder(QString(), false);
    qunsetenv("OBSLEDGER_APPDIR");
    qunsetenv("XDG_DATA_HOME");
}

void TestInstall::commandLine_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // the start of the standard output
    QTest::addColumn<QString>("err"); // a text of the error output, empty when it must stay empty

    const QString version = QStringLiteral(" version " OBSLEDGER_VERSION "\n");
    const QString prog = QStringLiteral("obsledger");
    const QString admin = QStringLiteral("obsledger-admin");
    QTest::newRow("help") << prog << QStringList{"--help"} << 0 << "Utilisation : obsledger"
                          << "";
    QTest::newRow("-h") << prog << QStringList{"-h"} << 0 << "Utilisation : obsledger"
                        << "";
    QTest::newRow("version") << prog << QStringList{"--version"} << 0 << prog + version << "";
    QTest::newRow("-v") << prog << QStringList{"-v"} << 0 << prog + version << "";
    QTest::newRow("after a Qt option") << prog << QStringList{"-style", "Fusion", "--version"} << 0 << prog + version
                                       << "";
    QTest::newRow("unknown option") << prog << QStringList{"--aide"} << 2 << ""
                                    << "obsledger : option inconnue « --aide »";
    QTest::newRow("unknown before help") << prog << QStringList{"-x", "--help"} << 2 << ""
                                         << "option inconnue « -x »";
    QTest::newRow("a word") << prog << QStringList{"OBSLEDGER.mdb"} << 2 << ""
                            << "argument inattendu « OBSLEDGER.mdb »";
    QTest::newRow("Qt option without its value") << prog << QStringList{"-style"} << 2 << ""
                                                 << "option inconnue « -style »";
    QTest::newRow("admin help") << admin << QStringList{"--help"} << 0 << "Utilisation :\n  obsledger-admin init"
                                << "";
    QTest::newRow("admin version") << admin << QStringList{"--version"} << 0 << admin + version << "";
    QTest::newRow("admin unknown option") << admin << QStringList{"path", "--all"} << 2 << ""
                                          << "obsledger-admin : option inconnue « --all »";
    QTest::newRow("admin without command") << admin << QStringList{} << 2 << ""
                                           << "Utilisation :";
}

void TestInstall::commandLine() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir home;
    const Run r = runProgram(program, args, home.path());
    QCOMPARE(r.code, code);
    QVERIFY2(r.out.left(out.size()) == out, qPrintable(r.out));
    if (err.isEmpty())
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    else
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
    if (code != 0) {
        QVERIFY(r.out.isEmpty());
        if (!args.isEmpty())
            QVERIFY(r.err.contains(program + QStringLiteral(" --help")));
    }
    // Nothing was started: no settings, no data folder.
    QCOMPARE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestInstall::helpStopsBeforeTheCommand() {
    QTemporaryDir home;
    const QString base = home.filePath(QStringLiteral("OBSLEDGER.mdb"));
    const Run r = runProgram(QStringLiteral("obsledger-admin"), {"init", base, "--demo", "--help"}, home.path());
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("--demo")));
    QVERIFY(!QFileInfo::exists(base));
}

void TestInstall::manualNamesEveryCommand_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("lead"); // how a line naming a command starts there
    QTest::newRow("an item for each command") << "COMMANDES"
                                              << ".TP";
    QTest::newRow("a synopsis line for each command") << "SYNOPSIS"
                                                      << ".B obsledger-admin ";
}

void TestInstall::manualNamesEveryCommand() {
    QFETCH(QString, section);
    QFETCH(QString, lead);
    // The commands the usage lists: the lower-case words after the program's name.
    QStringList usage;
    static const QRegularExpression word(QStringLiteral("^[a-z][a-z-]*$"));
    for (const QString& line : adminCommands().split(u'\n')) {
        if (!line.startsWith(QStringLiteral("  obsledger-admin ")))
            continue;
        // The command and its arguments end where two spaces lead to what it does.
        static const QRegularExpression gap(QStringLiteral("\\S\\s{2,}"));
        const qsizetype described = line.indexOf(gap, 2);
        QStringList words;
        for (const QString& w :
             line.mid(0, described < 0 ? -1 : described + 1).split(u' ', Qt::SkipEmptyParts).mid(1)) {
            if (!word.match(w).hasMatch())
                break;
            words << w;
        }
        usage << words.join(u' ');
    }
    QVERIFY(usage.contains(QStringLiteral("journal show")));

    QFile page(QStringLiteral(OBSLEDGER_ADMIN_MAN));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(page.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-")).split(u'\n');
    const qsizetype start = lines.indexOf(QStringLiteral(".SH ") + section);
    QVERIFY(start >= 0);
    QStringList manual;
    for (qsizetype i = start + 1; i < lines.size() && !lines[i].startsWith(QStringLiteral(".SH ")); ++i) {
        if (!lines[i].startsWith(lead))
            continue;
        if (lead != QLatin1String(".TP")) {
            manual << lines[i].mid(lead.size()).trimmed();
            continue;
        }
        // An item's name is on the line after .TP: `.B path`, `.BI init " CHEMIN"`, `.BI "journal show" ...`;
        // the options' items (`.BR -h ...`) are not commands.
        const QString item = lines.value(i + 1);
        const QString named = item.section(u' ', 1);
        if (item.startsWith(QStringLiteral(".BR ")))
            continue;
        manual << (named.startsWith(u'"') ? named.mid(1).section(u'"', 0, 0) : named.section(u' ', 0, 0));
    }
    usage.sort();
    manual.sort();
    QCOMPARE(manual, usage);
}

void TestInstall::adminFilesKeepsExistingFiles() {
    QTemporaryDir home;
    const QString tarifs = home.filePath(QStringLiteral("tarifs.cmt"));
    const QString taux = home.filePath(QStringLiteral("taux.cmt"));
    QVERIFY(writeBytes(tarifs, "\"clinic's own\"\r\n"));
    const Run r = runProgram(QStringLiteral("obsledger-admin"), {"files", home.path()}, home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("Créé : %1\n").arg(taux));
    QCOMPARE(readAll(tarifs), QByteArray("\"clinic's own\"\r\n"));
    QCOMPARE(readAll(taux), QByteArray("\"10\",\"50\"\r\n"));
    const Run missing = runProgram(QStringLiteral("obsledger-admin"), {"files", home.filePath("absent")}, home.path());
    QCOMPARE(missing.code, 1);
    QVERIFY2(missing.err.contains(QStringLiteral("Impossible d'écrire")), qPrintable(missing.err));
}

void TestInstall::folderOrder_data() {
    QTest::addColumn<bool>("withEnv");
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<QString>("expected"); // "env", "program" or "data"
    QTest::newRow("environment over a writable program folder") << true << true << "env";
    QTest::newRow("environment over a read-only program folder") << true << false << "env";
    QTest::newRow("writable program folder") << false << true << "program";
    QTest::newRow("read-only program folder") << false << false << "data";
}

void TestInstall::folderOrder() {
    QFETCH(bool, withEnv);
    QFETCH(bool, programWritable);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString env = dir.filePath(QStringLiteral("shared"));
    const QString program = dir.filePath(QStringLiteral("bin"));
    const QString data = dir.filePath(QStringLiteral("data/obsledger"));
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    if (withEnv)
        qputenv("OBSLEDGER_APPDIR", (env + QStringLiteral("/")).toUtf8());
    simulateProgramFolder(program, programWritable);
    const QString folder = expected == QLatin1String("env")       ? env
                           : expected == QLatin1String("program") ? program
                                                                  : data;
    QCOMPARE(applicationFolder(), folder);
    QCOMPARE(TariffFile::path(), folder + QStringLiteral("/tarifs.cmt"));
    QCOMPARE(applicationFolderIsUserData(), expected == QLatin1String("data"));

    // Only the user's data folder gets its usual files from the program.
    QVERIFY(prepareApplicationFolder(nullptr));
    QCOMPARE(QFileInfo::exists(data + QStringLiteral("/tarifs.cmt")), expected == QLatin1String("data"));
    QCOMPARE(QFileInfo::exists(data + QStringLiteral("/taux.cmt")), expected == QLatin1String("data"));
    QVERIFY(!QFileInfo::exists(program));
    QVERIFY(!QFileInfo::exists(env));
}

void TestInstall::usualFilesWrittenOnceInDataFolder() {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    simulateProgramFolder(dir.filePath(QStringLiteral("bin")), false);
    QVERIFY(prepareApplicationFolder(nullptr));
    const QString tarifs = applicationFile(QStringLiteral("tarifs.cmt"));
    const QString taux = applicationFile(QStringLiteral("taux.cmt"));
    QCOMPARE(TariffFile::read(tarifs).values, TariffFile::initialTexts());
    QCOMPARE(readQuotedFields(taux).fields, (QStringList{"10", "50"}));

    // The user's own values stay at the next start, and a removed file comes back alone.
    QVERIFY(writeBytes(taux, "\"12\",\"40\"\r\n"));
    QVERIFY(QFile::remove(tarifs));
    QVERIFY(prepareApplicationFolder(nullptr));
    QCOMPARE(readAll(taux), QByteArray("\"12\",\"40\"\r\n"));
    QCOMPARE(TariffFile::read(tarifs).groups, 1);

    // A data folder that cannot be made is reported, not passed over.
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("blocked")), "a file, not a folder"));
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("blocked")).toUtf8());
    QString error;
    QVERIFY(!prepareApplicationFolder(&error));
    QVERIFY2(error.contains(dir.filePath(QStringLiteral("blocked"))), qPrintable(error));
}

void TestInstall::tariffEditorSavesWithReadOnlyProgramFolder() {
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    qunsetenv("OBSLEDGER_APPDIR");
    qputenv("XDG_DATA_HOME", clinic.file(QStringLiteral("data")).toUtf8());
    simulateProgramFolder(clinic.file(QStringLiteral("usr/bin")), false);
    QVERIFY(prepareApplicationFolder(nullptr));

    auto* editor = screens.openTariffs();
    QSignalSpy closed(editor, &Screen::closed);
    QLineEdit* night = child<QLineEdit>(editor, "TxtENuit");
    night->clear();
    QTest::keyClicks(night, "26,5");
    child<QPushButton>(editor, "Command1")->click();
    QCOMPARE(closed.count(), 1);
    QVERIFY(Dialogs::shownTexts().isEmpty());
    const QString saved = clinic.file(QStringLiteral("data/obsledger/tarifs.cmt"));
    QCOMPARE(TariffFile::read(saved).values.at(TariffFile::NightIndex), QStringLiteral("26,5"));
}

QTEST_MAIN(TestInstall)
#include "test_install.moc"
