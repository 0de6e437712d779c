#include "app/Program.h"
#include "common/CommandLine.h"
#include "common/FrenchTranslations.h"
#include "common/Version.h"
#include "domain/UsualFiles.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (const auto rc = obs::answerCommandLine(obs::argumentsOf(argc, argv),
                                               {QStringLiteral("obsledger"), obs::programHelp(), {}, true, false}))
        return *rc; // --help, --version or a wrong option: nothing is started
    const bool hasScreen = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!hasScreen) {
        std::fprintf(stderr,
                     "Obsledger : aucun écran graphique n'est disponible (ni DISPLAY ni WAYLAND_DISPLAY).\n"
                     "Sur une machine sans écran, lancez le programme sous Xvfb :\n"
                     "    xvfb-run -a %s\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OBSLEDGER"));
    QApplication::setApplicationVersion(QStringLiteral(OBSLEDGER_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("obsledger"));
    // The menu's logo on every window, those that name no icon of their own too.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    if (!obs::loadFrenchTranslations(app))
        std::fprintf(stderr, "Obsledger : traductions françaises de Qt introuvables (paquet qt6-translations-l10n).\n");
    if (QString error; !obs::prepareApplicationFolder(&error))
        std::fprintf(stderr, "Obsledger : %s\n", qPrintable(error));

    obs::Program program;
    program.start();
    return app.exec();
}
