// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace obs {

// What a program accepts on its command line besides -h/--help and -v/--version.
struct CommandLineRules {
    QString program;            // the name shown in the messages, "obsledger"
    QString help;               // the whole text of --help
    QStringList options;        // the program's own options ("--demo")
    bool passQtOptions = false; // Qt's window options (-platform, -style, ...) are left to Qt
    bool operands = false;      // words that are not options are the program's business
};

// Answers --help and --version on the standard output (exit code 0) and refuses an unknown
// option or an unexpected word on the error output (exit code 2), before anything is started.
// Nothing is returned when the program goes on. args holds the arguments without the program.
std::optional<int> answerCommandLine(const QStringList& args, const CommandLineRules& rules);
QStringList argumentsOf(int argc, char* argv[]);

// The texts of --version and --help of both programs.
QString versionText(const QString& program);
QString programHelp();
QString adminCommands();
QString adminHelp();

} // namespace obs
