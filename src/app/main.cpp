#include "app/Program.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
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
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QApplication::setQuitOnLastWindowClosed(false);

    obs::Program program;
    program.start();
    return app.exec();
}
