// A probe loaded into the real program for the start-up benchmark, through Qt's generic plugins
// (QT_QPA_GENERIC_PLUGINS=obsledgerstartprobe, this folder's parent in QT_PLUGIN_PATH). The
// program itself is unchanged: the probe clicks "OK" on the start window as soon as it is painted,
// says "shown" on the standard output once the main window has been painted, and ends the program.

#include <QApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class StartProbe final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        const QString name = window->objectName();
        if (name == QLatin1String("Form15") && !m_clicked) {
            // The start window: its button "OK", once the window has been painted.
            m_clicked = true;
            QTimer::singleShot(0, window, [window] {
                if (auto* ok = window->findChild<QPushButton*>(QStringLiteral("Command1")))
                    ok->click();
            });
        } else if (name == QLatin1String("Form4") && !m_shown) {
            // The main window: painted once this paint is over.
            m_shown = true;
            QTimer::singleShot(0, this, [] {
                std::printf("shown\n");
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool m_clicked = false;
    bool m_shown = false;
};

class StartProbePlugin final : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "startprobe.json")
public:
    QObject* create(const QString& key, const QString&) override {
        if (key.compare(QLatin1String("obsledgerstartprobe"), Qt::CaseInsensitive) != 0)
            return nullptr;
        auto* probe = new StartProbe(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(probe);
        return probe;
    }
};

} // namespace

#include "StartProbe.moc"
