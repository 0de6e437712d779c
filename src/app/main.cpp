#include "app/Form15.h"
#include "app/Form4.h"
#include "common/CommandLine.h"
#include "common/FrenchTranslations.h"
#include "common/Version.h"
#include "reference/UsualFiles.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (const auto rc = obs::answerCommandLine(obs::argumentsOf(argc, argv),
                                               {QStringLiteral("obsledger"), obs::programHelp(), {}, true, false}))
        return *rc; // --help, --version or a wrong option: nothing is started
    const bool hasScreen = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!hasScreen) {
        std::fprintf(stderr, "Obsledger : aucun écran graphique n'est disponible (ni DISPLAY ni WAYLAND_DISPLAY).\n"
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
    if (!obs::loadFrenchTranslations(app))
        std::fprintf(stderr, "Obsledger : traductions françaises de Qt introuvables (paquet qt6-translations-l10n).\n");
    if (QString error; !obs::prepareApplicationFolder(&error))
        std::fprintf(stderr, "Obsledger : %s\n", qPrintable(error));

    obs::Form15 start;
    obs::Form4* main = nullptr;
    QObject::connect(&start, &obs::Form15::dismissed, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&start, &obs::Form15::accepted, &app, [&main] {
        main = new obs::Form4();
        main->setAttribute(Qt::WA_DeleteOnClose);
        if (!main->load())
            return; // the not-found message was shown; the program ends
        main->show();
    });
    start.show();
    return app.exec();
}
