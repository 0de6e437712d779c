// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/YearStatementWindow.h"

#include "accounts/SearchPanel.h"
#include "accounts/StatementPrint.h"
#include "common/Settings.h"
#include "domain/ActsCsv.h"
#include "domain/ReceiptsSheet.h"
#include "store/SharedDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenRoom.h"

#include "ui_YearStatementWindow.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QValueAxis>

namespace obs {

namespace {

const QStringList kShortMonths = {QStringLiteral("janv."), QStringLiteral("févr."), QStringLiteral("mars"),
                                  QStringLiteral("avr."),  QStringLiteral("mai"),   QStringLiteral("juin"),
                                  QStringLiteral("juil."), QStringLiteral("août"),  QStringLiteral("sept."),
                                  QStringLiteral("oct."),  QStringLiteral("nov."),  QStringLiteral("déc.")};

// The chart's size when printed, in screen pixels; drawn at twice that for the printer.
const QSize kPrintedChart(660, 280);

double euros(const std::optional<Money>& m) {
    return m ? double(m->units()) / Money::Scale : 0.0;
}

// Billed and received, side by side, month by month; the scale starts at 0 unless a month is negative.
QChart* makeChart(QBarSet** billed, QBarSet** received) {
    auto* chart = new QChart;
    *billed = new QBarSet(QStringLiteral("Facturé (Montant + DE)"));
    *received = new QBarSet(QStringLiteral("Reçu (Sécu + complémentaire + DE)"));
    for (int m = 0; m < 12; ++m) {
        **billed << 0.0;
        **received << 0.0;
    }
    auto* series = new QBarSeries;
    series->append(*billed);
    series->append(*received);
    chart->addSeries(series);
    auto* months = new QBarCategoryAxis;
    months->append(kShortMonths);
    chart->addAxis(months, Qt::AlignBottom);
    series->attachAxis(months);
    auto* amounts = new QValueAxis;
    // The axis's format is read as Latin-1: the euro sign goes in its title.
    amounts->setLabelFormat(QStringLiteral("%.0f"));
    amounts->setTitleText(QStringLiteral("€"));
    chart->addAxis(amounts, Qt::AlignLeft);
    series->attachAxis(amounts);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    return chart;
}

void fillChart(QChart* chart, QBarSet* billed, QBarSet* received, const YearStatementSheet& sheet) {
    double low = 0.0, high = 0.0;
    for (int m = 0; m < 12; ++m) {
        const double b = euros(sheet.lines()[m].billed);
        const double r = euros(sheet.lines()[m].received);
        billed->replace(m, b);
        received->replace(m, r);
        low = std::min({low, b, r});
        high = std::max({high, b, r});
    }
    if (high <= low)
        high = low + 100.0;
    auto* axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    if (axis) {
        axis->setRange(low, high);
        axis->applyNiceNumbers();
    }
}

// A long heading on two lines, so that the column is as narrow as its figures.
QString twoLines(QString heading) {
    const qsizetype space = heading.lastIndexOf(u' ');
    if (heading.size() > 12 && space > 0)
        heading[space] = u'\n';
    return heading;
}

void fillTable(QTableWidget* table, const QStringList& header, const std::vector<QStringList>& rows, int boldRow,
               int widest) {
    table->clear();
    table->setColumnCount(int(header.size()));
    QStringList headings;
    for (const QString& h : header)
        headings << twoLines(h);
    table->setHorizontalHeaderLabels(headings);
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment(Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight));
            if (r == boldRow) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            table->setItem(r, c, item);
        }
    }
    // The figures are all in view, never behind a scroll bar (unless the names are very long);
    // measured without the last column's stretch, which follows the window's width.
    table->horizontalHeader()->setStretchLastSection(false);
    table->resizeColumnsToContents();
    const int width =
        table->horizontalHeader()->length() + 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
    table->setMinimumWidth(std::min(widest, width));
    table->horizontalHeader()->setStretchLastSection(true);
}

} // namespace

YearStatementWindow::YearStatementWindow(SharedDatabase& database, QWidget* parent)
    : Screen(QStringLiteral("FrmReleve"), parent), m_ui(std::make_unique<Ui::YearStatementWindow>()),
      m_database(database), m_sheet(std::make_unique<YearStatementSheet>(YearStatement{})) {
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Relevé annuel"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));

    m_chart = makeChart(&m_billed, &m_received);
    // The view hands back the empty chart it was made with: it is not deleted for us.
    QChart* const madeWith = m_ui->GraphMois->chart();
    m_ui->GraphMois->setChart(m_chart);
    delete madeWith;
    m_ui->GraphMois->setRenderHint(QPainter::Antialiasing);
    for (QTableWidget* t : {m_ui->TblMois, m_ui->TblReversements}) {
        t->verticalHeader()->hide();
        t->horizontalHeader()->setStretchLastSection(true);
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
    }

    auto* basis = new QHBoxLayout;
    auto* basisLabel = new QLabel(QStringLiteral("Paiements reçus :"), this);
    m_byActDate = new QRadioButton(QStringLiteral("par date de l'acte"), this);
    m_byActDate->setObjectName(QStringLiteral("OptDateActe"));
    m_byReceiptDate = new QRadioButton(QStringLiteral("par date de réception"), this);
    m_byReceiptDate->setObjectName(QStringLiteral("OptDateReception"));
    m_byActDate->setChecked(true);
    auto* basisGroup = new QButtonGroup(this);
    basisGroup->addButton(m_byActDate);
    basisGroup->addButton(m_byReceiptDate);
    basis->addWidget(basisLabel);
    basis->addWidget(m_byActDate);
    basis->addWidget(m_byReceiptDate);
    basis->addStretch(1);
    m_ui->root->insertLayout(1, basis);
    m_beforeJournal = new QLabel(this);
    m_beforeJournal->setObjectName(QStringLiteral("LblAvantJournal"));
    m_beforeJournal->setWordWrap(true);
    m_beforeJournal->hide();
    m_ui->root->addWidget(m_beforeJournal);

    // Opened anew, as every screen does when it loads.
    m_database.reopenFromSettings();
    if (const auto store = searchStore(this, m_database)) {
        QStringList practitioners;
        if (const Status s =
                store->references().labels(ReferenceList::Practitioners, ReferenceOrder::ByLabel, &practitioners);
            !s)
            Dialogs::warn(this, QStringLiteral("La liste des praticiens n'a pas pu être lue.\n%1").arg(s.message));
        m_ui->CboPraticien->addItems(practitioners);
    }
    m_ui->TxtAnnee->setValue(QDate::currentDate().year());
    refresh();

    connect(m_ui->TxtAnnee, &QSpinBox::valueChanged, this, &YearStatementWindow::refresh);
    connect(m_ui->CboPraticien, &QComboBox::currentIndexChanged, this, &YearStatementWindow::refresh);
    connect(m_byReceiptDate, &QRadioButton::toggled, this, &YearStatementWindow::refresh);
    connect(m_ui->CmdImprimer, &QPushButton::clicked, this, &YearStatementWindow::print);
    connect(m_ui->CmdApercu, &QPushButton::clicked, this, &YearStatementWindow::preview);
    connect(m_ui->CmdExporter, &QPushButton::clicked, this, &YearStatementWindow::exportStatement);
    connect(m_ui->CmdFermer, &QPushButton::clicked, this, &YearStatementWindow::close);

    // Its frame, title bar included, fits the screen as well.
    resize(sizeWithinScreen(this, QSize(1000, 720)).expandedTo(minimumSizeHint()));
}

YearStatementWindow::~YearStatementWindow() = default;

void YearStatementWindow::refresh() {
    YearStatement statement;
    std::optional<YearStatement> byDate;
    QString beforeJournal;
    const QString practitioner = m_ui->CboPraticien->currentText();
    if (!practitioner.isEmpty()) {
        if (const auto store = searchStore(this, m_database)) {
            const int year = m_ui->TxtAnnee->value();
            Status s = store->acts().yearStatement(year, practitioner, &statement);
            // The year's book: what was received in each month on the practitioner's acts, whatever
            // their dates, and the acts paid before the journal, which it leaves out.
            ReceiptsBook book;
            const auto starts = monthStarts(year);
            if (s)
                s = store->journal().receipts(practitioner, Period{starts[0], starts[12] - 1}, &book);
            if (s) {
                beforeJournal = beforeJournalNotice(book, QStringLiteral("le livre des recettes"));
                if (m_byReceiptDate->isChecked()) {
                    byDate = statement;
                    receivedByReceiptDate(book, &*byDate);
                }
            }
            if (!s) {
                Dialogs::warn(this, QStringLiteral("Le relevé n'a pas pu être établi.\n%1").arg(s.message));
                statement = {};
                byDate.reset();
                beforeJournal.clear();
            }
        }
    }
    display(statement, byDate ? &*byDate : nullptr, beforeJournal);
}

void YearStatementWindow::display(const YearStatement& statement, const YearStatement* receivedByDate,
                                  const QString& beforeJournal) {
    m_sheet = std::make_unique<YearStatementSheet>(statement, receivedByDate, beforeJournal);
    m_beforeJournal->setText(beforeJournal);
    m_beforeJournal->setVisible(!beforeJournal.isEmpty());
    std::vector<QStringList> months;
    for (const auto& line : m_sheet->lines())
        months.push_back(YearStatementSheet::shownCells(line));
    fillTable(m_ui->TblMois, YearStatementSheet::monthHeader(), months, 12, QWIDGETSIZE_MAX);
    std::vector<QStringList> reversals;
    for (const auto& r : m_sheet->reversals())
        reversals.push_back(YearStatementSheet::shownCells(r));
    fillTable(m_ui->TblReversements, YearStatementSheet::reversalHeader(), reversals, -1, 320);
    fillChart(m_chart, m_billed, m_received, *m_sheet);
}

QImage YearStatementWindow::chartImage() const {
    QBarSet* billed = nullptr;
    QBarSet* received = nullptr;
    QChartView view(makeChart(&billed, &received)); // the view owns the chart
    fillChart(view.chart(), billed, received, *m_sheet);
    view.setRenderHint(QPainter::Antialiasing);
    view.setFrameShape(QFrame::NoFrame);
    // Laid out at its printed size without appearing on the screen.
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(kPrintedChart);
    view.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QImage image(kPrintedChart * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The scene drawn again at the image's size, sharp at twice the screen's.
    view.render(&painter, QRectF(image.rect()), view.viewport()->rect());
    return image;
}

bool YearStatementWindow::printOn(QPrinter* printer, int* pages) {
    QString error;
    const QString practitioner =
        m_ui->CboPraticien->currentText() +
        (m_byReceiptDate->isChecked() ? QStringLiteral(" (paiements par date de réception)") : QString());
    if (!StatementPrint::print(printer, practitioner, m_ui->TxtAnnee->value(), *m_sheet, chartImage(), &error, pages)) {
        Dialogs::warn(this, error);
        return false;
    }
    return true;
}

bool YearStatementWindow::practitionerChosen(const QString& nothingTo) {
    if (!m_ui->CboPraticien->currentText().isEmpty())
        return true;
    Dialogs::inform(this, QStringLiteral("Choisissez d'abord le praticien : il n'y a rien à %1.").arg(nothingTo));
    return false;
}

void YearStatementWindow::print() {
    if (!practitionerChosen(QStringLiteral("imprimer")))
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs::choosePrinter(this, &printer, QStringLiteral("Imprimer le relevé")))
        return; // cancelled: nothing is sent
    printOn(&printer);
}

void YearStatementWindow::preview() {
    if (!practitionerChosen(QStringLiteral("imprimer")))
        return;
    // Not modal: the statement stays in reach while its pages are looked at.
    auto* printer = new QPrinter(QPrinter::HighResolution);
    Dialogs::preparePrinter(printer);
    auto* dialog = new QPrintPreviewDialog(printer, this);
    dialog->setObjectName(QStringLiteral("FrmApercu"));
    dialog->setWindowTitle(QStringLiteral("Aperçu du relevé"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Not tied to this window: the dialog goes with it, and its printer must go then too.
    connect(dialog, &QObject::destroyed, [printer] { delete printer; });
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { printOn(p); });
    dialog->resize(QSize(900, 700).boundedTo(screen() ? screen()->availableGeometry().size() : QSize(900, 700)));
    dialog->open();
}

void YearStatementWindow::exportStatement() {
    if (!practitionerChosen(QStringLiteral("exporter")))
        return;
    const QString path = Dialogs::chooseSaveFile(this, QStringLiteral("Exporter le relevé"),
                                                 QStringLiteral("releve-%1.csv").arg(m_ui->TxtAnnee->value()),
                                                 QStringLiteral("Fichiers CSV (*.csv)"));
    if (path.isEmpty())
        return; // cancelled
    QString error;
    if (!ActsCsv::write(path, m_sheet->csvDocument(), &error))
        Dialogs::warn(this, error);
}

} // namespace obs
