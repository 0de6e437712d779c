#include "app/StartWindow.h"

#include "ui_StartWindow.h"

#include <QCloseEvent>
#include <QPushButton>

namespace obs {

StartWindow::StartWindow(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::StartWindow>()) {
    setObjectName(QStringLiteral("Form15"));
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    // Designer knows whole point sizes only: the title grows with the user's own font.
    QFont f = m_ui->title->font();
    f.setPointSizeF(f.pointSizeF() * 2);
    m_ui->title->setFont(f);
    QPushButton* ok = m_ui->Command1;
    connect(ok, &QPushButton::clicked, this, [this] {
        m_accepted = true;
        close();
        emit accepted();
    });
    setFixedSize(sizeHint().expandedTo(QSize(420, 180)));
}

StartWindow::~StartWindow() = default;

void StartWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_accepted)
        emit dismissed();
}

} // namespace obs
