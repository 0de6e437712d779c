#include "about/AboutBox.h"

#include "common/Version.h"

#include "ui_AboutBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace obs {

namespace {} // namespace

QString AboutBox::applicationTitle() {
    return QStringLiteral("OBSLEDGER");
}

QString AboutBox::versionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(OBSLEDGER_VERSION_MAJOR)
        .arg(OBSLEDGER_VERSION_MINOR)
        .arg(OBSLEDGER_VERSION_PATCH);
}

AboutBox::AboutBox(QWidget* parent)
    : Screen(QStringLiteral("frmAbout"), parent), m_ui(std::make_unique<Ui::AboutBox>()) {
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));

    m_ui->setupUi(this);
    QLabel* lblTitle = m_ui->lblTitle;
    QLabel* lblVersion = m_ui->lblVersion;
    QPushButton* cmdOK = m_ui->cmdOK;
    // Designer knows whole point sizes only: the title grows with the user's own font.
    QFont tf = lblTitle->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.8);
    lblTitle->setFont(tf);

    connect(cmdOK, &QPushButton::clicked, this, &AboutBox::close);

    // Load: title bar, version and title from the application's identity, then centred on the screen.
    setWindowTitle(QStringLiteral("À propos de ") + applicationTitle());
    lblVersion->setText(versionText());
    lblTitle->setText(applicationTitle());
    setFixedSize(sizeHint().expandedTo(QSize(400, 0)));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

AboutBox::~AboutBox() = default;

} // namespace obs
