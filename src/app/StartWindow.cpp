#include "app/StartWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace obs {

StartWindow::StartWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form15"));
    setWindowTitle(QStringLiteral("Form15"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(24, 24, 24, 16);
    root->setSpacing(12);

    auto* top = new QHBoxLayout;
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image4"));
    image->setPixmap(QPixmap(QStringLiteral(":/obsledger.png")));
    top->addWidget(image);
    auto* texts = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("OBSLEDGER"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 2);
    f.setBold(true);
    title->setFont(f);
    texts->addWidget(title);
    texts->addWidget(new QLabel(QStringLiteral("Comptabilité entre praticiens"), this));
    auto* author = new QLabel(QStringLiteral("Clinique — service de gynécologie-obstétrique"), this);
    author->setObjectName(QStringLiteral("Label5"));
    texts->addWidget(author);
    top->addLayout(texts, 1);
    root->addLayout(top);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    ok->setMinimumWidth(100);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    root->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_accepted = true;
        close();
        emit accepted();
    });
    setFixedSize(sizeHint().expandedTo(QSize(420, 180)));
}

void StartWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_accepted)
        emit dismissed();
}

} // namespace obs
