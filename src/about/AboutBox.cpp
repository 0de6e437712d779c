#include "about/AboutBox.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace obs {

namespace {

constexpr int kMajor = 2;
constexpr int kMinor = 0;
constexpr int kRevision = 0;

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

QString AboutBox::applicationTitle() {
    return QStringLiteral("OBSLEDGER");
}

QString AboutBox::versionText() {
    return QStringLiteral("Version %1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision);
}

AboutBox::AboutBox(QWidget* parent) : Screen(QStringLiteral("frmAbout"), parent) {
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 20, 20, 14);
    root->setSpacing(12);

    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(
        QPixmap(QStringLiteral(":/obsledger.png")).scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picIcon->setFixedSize(64, 64);
    top->addWidget(picIcon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* lblTitle = label(this, "lblTitle", QString());
    QFont tf = lblTitle->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.8);
    tf.setBold(true);
    lblTitle->setFont(tf);
    auto* lblVersion = label(this, "lblVersion", QString());
    auto* lblDescription = label(this, "lblDescription", QStringLiteral("Comptabilité entre praticiens"));
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(6);
    texts->addWidget(lblDescription);
    texts->addStretch(1);
    top->addLayout(texts, 1);
    root->addLayout(top);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    root->addWidget(line);

    auto* credits = new QGridLayout;
    credits->setHorizontalSpacing(12);
    auto* label1 = label(this, "Label1", QStringLiteral("Auteur"));
    QFont bf = label1->font();
    bf.setBold(true);
    label1->setFont(bf);
    credits->addWidget(label1, 0, 0, Qt::AlignTop);
    credits->addWidget(label(this, "lblDisclaimer", QStringLiteral("Équipe informatique de la clinique")), 0, 1);
    credits->addWidget(label(this, "Label2", QStringLiteral("Contact : informatique@clinique-obsledger.fr")), 1, 1);
    credits->setColumnStretch(1, 1);
    root->addLayout(credits);

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setMinimumWidth(100);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    root->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &AboutBox::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &AboutBox::close);

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

} // namespace obs
