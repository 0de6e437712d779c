// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryWindow.h"

#include "common/DayNumber.h"
#include "domain/JournalText.h"
#include "store/SharedDatabase.h"
#include "widgets/ScreenRoom.h"

#include "ui_HistoryWindow.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace obs {

HistoryWindow::HistoryWindow(SharedDatabase& database, QWidget* parent)
    : Screen(QStringLiteral("FrmHistorique"), parent), m_ui(std::make_unique<Ui::HistoryWindow>()),
      m_database(database) {
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    m_ui->setupUi(this);
    QTableWidget* list = m_ui->LstHistorique;
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsMovable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long change wraps within its column: each row as high as its text at the width it has.
    connect(header, &QHeaderView::sectionResized, list, [list] { list->resizeRowsToContents(); });
    const QFontMetrics fm = m_ui->LstHistorique->fontMetrics();
    // The time of writing whole; workstation and user at a usual name's width.
    header->resizeSection(0, fm.horizontalAdvance(QStringLiteral("00/00/0000 00:00")) + 24);
    header->resizeSection(1, fm.horizontalAdvance(QStringLiteral("poste-accueil-01")) + 16);
    header->resizeSection(2, fm.horizontalAdvance(QStringLiteral("secretariat")) + 16);
    connect(m_ui->CmdFermer, &QPushButton::clicked, this, &HistoryWindow::close);
    resize(sizeWithinScreen(this, QSize(960, 560)));
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::showAct(qint64 number) {
    m_act = number;
    QTableWidget* list = m_ui->LstHistorique;
    list->setRowCount(0);
    m_ui->LblFiche->setText(QStringLiteral("Fiche n° %1").arg(number));
    const auto fail = [this](const QString& why) { m_ui->LblNombre->setText(why); };

    std::shared_ptr<Store> store = m_database.store();
    if (!store || !store->isOpen()) {
        if (const Status s = m_database.reopen(); !s)
            return fail(QStringLiteral("La base de données n'a pas pu être ouverte : %1").arg(s.message));
        store = m_database.store();
    }
    if (!store->journal().present())
        return fail(QStringLiteral("Cette base n'a pas encore de journal : l'historique commence quand elle est mise "
                                   "à jour (obsledger-admin upgrade)."));

    Act act;
    bool found = false;
    if (store->acts().find(number, &act, &found) && found) {
        QString heading = QStringLiteral("Fiche n° %1 : %2 %3").arg(number).arg(act.surname, act.firstName);
        if (const QString day = storedDateText(act.date); !day.isEmpty())
            heading += QStringLiteral(" du ") + day;
        m_ui->LblFiche->setText(heading);
    } else {
        m_ui->LblFiche->setText(QStringLiteral("Fiche n° %1 (supprimée)").arg(number));
    }

    std::vector<JournalEntry> entries;
    if (const Status s = store->journal().ofAct(number, &entries); !s)
        return fail(QStringLiteral("L'historique n'a pas pu être lu : %1").arg(s.message));
    const std::vector<HistoryLine> lines = historyLines(entries);
    list->setRowCount(int(lines.size()));
    for (int row = 0; row < int(lines.size()); ++row) {
        const HistoryLine& line = lines[std::size_t(row)];
        const QStringList cells{line.when, line.workstation, line.user, line.what};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
            list->setItem(row, column, item);
        }
    }
    list->resizeRowsToContents();
    list->setCurrentCell(-1, -1); // nothing singled out
    const qsizetype n = entries.size();
    m_ui->LblNombre->setText(n == 0   ? QStringLiteral("Aucune écriture pour cette fiche.")
                             : n == 1 ? QStringLiteral("1 écriture, la plus récente en haut.")
                                      : QStringLiteral("%1 écritures, la plus récente en haut.").arg(n));
}

} // namespace obs
