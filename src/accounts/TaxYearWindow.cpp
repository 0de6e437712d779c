// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/TaxYearWindow.h"

#include "accounts/SearchPanel.h"
#include "accounts/StatementPrint.h"
#include "common/Settings.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenRoom.h"

#include "ui_TaxYearWindow.h"

#include <QClipboard>
#include <QDate>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPrinter>
#include <QTextDocument>

namespace obs {

namespace {

QTableWidgetItem* cell(const QString& text, bool amount) {
    auto* item = new QTableWidgetItem(text);
    if (amount)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

void setRow(QTableWidget* table, int row, const QString& label, const QString& count, Money amount) {
    table->setItem(row, 0, cell(label, false));
    table->setItem(row, 1, cell(count, true));
    table->setItem(row, 2, cell(ReceiptsSheet::euroText(amount), true));
}

} // namespace

TaxYearWindow::TaxYearWindow(SharedDatabase& database, QWidget* parent)
    : Screen(QStringLiteral("FrmAnneeFiscale"), parent), m_ui(std::make_unique<Ui::TaxYearWindow>()),
      m_database(database) {
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Année fiscale"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    for (QTableWidget* t : {m_ui->TblRecettes, m_ui->LstDeclarer, m_ui->LstSousSeuil}) {
        t->verticalHeader()->hide();
        t->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        t->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
    }

    // Opened anew, as every screen does when it loads.
    m_database.reopenFromSettings();
    if (const auto store = searchStore(this, m_database)) {
        QStringList practitioners;
        if (const Status s =
                store->references().labels(ReferenceList::Practitioners, ReferenceOrder::ByLabel, &practitioners);
            !s)
            Dialogs::warn(this, QStringLiteral("La liste des praticiens n'a pas pu être lue.\n%1").arg(s.message));
        m_ui->CboPraticienFiscal->addItems(practitioners);
    }
    // The return is made for the year just ended.
    m_ui->TxtAnneeFiscale->setValue(QDate::currentDate().year() - 1);
    refresh();

    connect(m_ui->TxtAnneeFiscale, &QSpinBox::valueChanged, this, &TaxYearWindow::refresh);
    connect(m_ui->CboPraticienFiscal, &QComboBox::currentIndexChanged, this, &TaxYearWindow::refresh);
    connect(m_ui->CmdCopierFiscal, &QPushButton::clicked, this, &TaxYearWindow::copy);
    connect(m_ui->CmdImprimerFiscal, &QPushButton::clicked, this, &TaxYearWindow::print);
    connect(m_ui->CmdFermer, &QPushButton::clicked, this, &TaxYearWindow::close);

    // Its frame, title bar included, fits the screen as well.
    resize(sizeWithinScreen(this, QSize(960, 680)).expandedTo(minimumSizeHint()));
}

TaxYearWindow::~TaxYearWindow() = default;

void TaxYearWindow::refresh() {
    m_taxYear = TaxYear();
    const QString practitioner = m_ui->CboPraticienFiscal->currentText();
    if (!practitioner.isEmpty()) {
        if (const auto store = searchStore(this, m_database)) {
            const Money threshold = Settings::reversalThreshold(&m_thresholdProblem);
            TaxYear read;
            if (const Status s = TaxYear::read(*store, practitioner, m_ui->TxtAnneeFiscale->value(), threshold, &read);
                !s)
                Dialogs::warn(this,
                              QStringLiteral("Les chiffres de l'année n'ont pas pu être établis.\n%1").arg(s.message));
            else
                m_taxYear = std::move(read);
        }
    }
    display();
}

void TaxYearWindow::display() {
    const TaxYear& t = m_taxYear;
    const bool any = !t.practitioner().isEmpty();
    QString state = any ? QStringLiteral("Exercice %1 %2 ; ancre du journal : %3")
                              .arg(t.year())
                              .arg(t.closingText(), t.anchorText())
                        : QString();
    const Money threshold = any ? t.threshold() : Settings::reversalThreshold(&m_thresholdProblem);
    // A threshold set by hand that is no amount is said where the year's state is.
    if (!m_thresholdProblem.isEmpty())
        state += (state.isEmpty() ? QString() : QStringLiteral("\n")) + m_thresholdProblem;
    m_ui->LblEtatExercice->setText(state);
    m_ui->LblRecettes->setText(any ? ReceiptsSheet::euroText(t.received()) : QString());
    m_ui->LblRetrocedes->setText(any ? ReceiptsSheet::euroText(t.paidOver()) : QString());
    m_ui->LblNet->setText(any ? ReceiptsSheet::euroText(t.net()) : QString());

    QTableWidget* received = m_ui->TblRecettes;
    received->setRowCount(0);
    if (any) {
        const auto& modes = t.receivedByMode();
        received->setRowCount(int(modes.size()) + 2);
        setRow(received, 0, QStringLiteral("dont honoraires"), QString(), t.fees());
        setRow(received, 1, QStringLiteral("dont rétrocessions reçues"), QString(), t.reversalsReceived());
        for (std::size_t i = 0; i < modes.size(); ++i)
            setRow(received, int(i) + 2, modes[i].label, QString::number(modes[i].count), modes[i].amount);
    }
    fill(m_ui->LstDeclarer, t.toDeclare());
    fill(m_ui->LstSousSeuil, t.underThreshold());
    m_ui->LblSeuil->setText(QStringLiteral("Plus de %1 dans l'année (réglage SEUIL_RETROCESSIONS)")
                                .arg(ReceiptsSheet::euroText(threshold)));
    const QString before = any ? t.beforeJournalText() : QString();
    m_ui->LblAvantJournal->setText(before);
    m_ui->LblAvantJournal->setVisible(!before.isEmpty());
}

void TaxYearWindow::fill(QTableWidget* table, const std::vector<TaxYear::Colleague>& colleagues) {
    table->setRowCount(int(colleagues.size()));
    for (std::size_t i = 0; i < colleagues.size(); ++i)
        setRow(table, int(i), colleagues[i].name, QString::number(colleagues[i].payments), colleagues[i].amount);
}

void TaxYearWindow::copy() {
    if (m_taxYear.practitioner().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Choisissez d'abord le praticien : il n'y a rien à copier."));
        return;
    }
    QGuiApplication::clipboard()->setText(m_taxYear.lines().join(u'\n') + u'\n');
}

QString TaxYearWindow::html(const TaxYear& t) {
    QString h = QStringLiteral("<h2>Année fiscale %1 : %2</h2>").arg(t.year()).arg(t.practitioner().toHtmlEscaped());
    h += QStringLiteral("<p>");
    for (const QString& line : t.lines().mid(1)) {
        QString shown = line.toHtmlEscaped();
        // The indented lines keep their indent on paper.
        while (shown.startsWith(u' '))
            shown = QStringLiteral("&nbsp;&nbsp;") + shown.mid(1);
        h += shown + QStringLiteral("<br/>");
    }
    return h + QStringLiteral("</p>");
}

bool TaxYearWindow::printOn(QPrinter* printer, int* pages) {
    QString error;
    const QString doc = html(m_taxYear);
    if (!StatementPrint::printDocument(
            printer, [&](QTextDocument& d, const QSizeF&) { d.setHtml(doc); },
            QStringLiteral("L'impression de l'année fiscale a échoué : l'imprimante a signalé une erreur. "
                           "Vérifiez l'imprimante puis recommencez."),
            &error, pages, QDateTime::currentDateTime())) {
        Dialogs::warn(this, error);
        return false;
    }
    return true;
}

void TaxYearWindow::print() {
    if (m_taxYear.practitioner().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Choisissez d'abord le praticien : il n'y a rien à imprimer."));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs::choosePrinter(this, &printer, QStringLiteral("Imprimer l'année fiscale")))
        return; // cancelled: nothing is sent
    printOn(&printer);
}

} // namespace obs
