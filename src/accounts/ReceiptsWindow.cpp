// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/ReceiptsWindow.h"

#include "accounts/AccountsControls.h"
#include "accounts/ReceiptsPrint.h"
#include "accounts/SearchPanel.h"
#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/ActsCsv.h"
#include "domain/FecFile.h"
#include "domain/PractitionerSiren.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenRoom.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace obs {

// One list of the book (receipts, outgoings or opening entries), its cells made when shown: a
// year's lines are not all formatted at once.
class ReceiptsModel : public QAbstractTableModel {
public:
    using List = const std::vector<ReceiptLine>& (*)(const ReceiptsBook&);
    ReceiptsModel(List list, QObject* parent) : QAbstractTableModel(parent), m_list(list) {}

    void setSheet(const ReceiptsSheet* sheet) {
        beginResetModel();
        m_sheet = sheet;
        m_header = sheet->header();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !m_sheet ? 0 : int(m_list(m_sheet->book()).size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_header.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!m_sheet || !index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole)
            return int(
                Qt::AlignVCenter |
                (index.column() == m_sheet->amountColumn() || index.column() == 1 ? Qt::AlignRight : Qt::AlignLeft));
        // A long act's label shown whole when pointed at.
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        return m_sheet->cells(m_list(m_sheet->book())[std::size_t(index.row())]).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_header.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    List m_list;
    const ReceiptsSheet* m_sheet = nullptr;
    QStringList m_header;
};

namespace {

const std::vector<ReceiptLine>& receiptsOf(const ReceiptsBook& b) {
    return b.receipts;
}
const std::vector<ReceiptLine>& outgoingsOf(const ReceiptsBook& b) {
    return b.outgoings;
}
const std::vector<ReceiptLine>& openingsOf(const ReceiptsBook& b) {
    return b.openings;
}

QTableView* bookView(const char* name, ReceiptsModel* model, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QLatin1String(name));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(false);
    return view;
}

// Columns as wide as a typical line (not measured on a year of lines), the act's label taking the rest.
void sizeColumns(QTableView* view, const ReceiptsSheet& sheet) {
    const QFontMetrics fm(view->font());
    QHeaderView* h = view->horizontalHeader();
    const QStringList header = sheet.header();
    for (int c = 0; c < header.size(); ++c) {
        QString sample;
        if (c == 0)
            sample = QStringLiteral("00/00/0000");
        else if (c == 1)
            sample = QStringLiteral("0000000");
        else if (c == sheet.amountColumn())
            sample = QStringLiteral("-00 000,00 €");
        else if (c == sheet.amountColumn() - 1)
            sample = QStringLiteral("Carte bancaire");
        else if (c == sheet.amountColumn() - 2)
            sample = QStringLiteral("Rétrocession de Dr XXXXX");
        else
            sample = QStringLiteral("XXXXXXXXXXXXXXXX");
        const int width = std::max(fm.horizontalAdvance(sample), fm.horizontalAdvance(header[c]) + 12) + 12;
        h->setSectionResizeMode(c, QHeaderView::Interactive);
        h->resizeSection(c, width);
    }
    h->setSectionResizeMode(sheet.withNames() ? 3 : 2, QHeaderView::Stretch);
}

} // namespace

ReceiptsWindow::ReceiptsWindow(SharedDatabase& database, QWidget* parent)
    : Screen(QStringLiteral("FrmRecettes"), parent), m_database(database),
      m_sheet(std::make_unique<ReceiptsSheet>(ReceiptsBook{}, true)) {
    setWindowTitle(QStringLiteral("Livre des recettes"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();

    // Opened anew, as every screen does when it loads.
    m_database.reopenFromSettings();
    if (const auto store = searchStore(this, m_database)) {
        QStringList practitioners;
        if (const Status s =
                store->references().labels(ReferenceList::Practitioners, ReferenceOrder::ByLabel, &practitioners);
            !s)
            Dialogs::warn(this, QStringLiteral("La liste des praticiens n'a pas pu être lue.\n%1").arg(s.message));
        m_practitioner->addItems(practitioners);
    }
    showSirenOf(m_practitioner->currentText());
    connect(m_practitioner, &QComboBox::currentTextChanged, this, &ReceiptsWindow::showSirenOf);
    display();
    // Its frame, title bar included, fits the screen as well.
    resize(sizeWithinScreen(this, QSize(1000, 700)).expandedTo(minimumSizeHint()));
}

ReceiptsWindow::~ReceiptsWindow() = default;

void ReceiptsWindow::buildUi() {
    auto* root = new QVBoxLayout(this);

    auto* choice = new QHBoxLayout;
    auto labelled = [&](const QString& text, QWidget* w, const char* labelName) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(labelName));
        l->setBuddy(w);
        choice->addWidget(l);
        choice->addWidget(w);
    };
    m_practitioner = new QComboBox(this);
    m_practitioner->setObjectName(QStringLiteral("CboPraticien"));
    m_practitioner->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_practitioner->setMinimumContentsLength(16);
    labelled(QStringLiteral("Praticien :"), m_practitioner, "LblPraticien");
    choice->addSpacing(12);
    m_from = new QLineEdit(this);
    m_from->setObjectName(QStringLiteral("TxtDu"));
    m_to = new QLineEdit(this);
    m_to->setObjectName(QStringLiteral("TxtAu"));
    const int year = QDate::currentDate().year();
    m_from->setText(QStringLiteral("01/01/%1").arg(year));
    m_to->setText(QStringLiteral("31/12/%1").arg(year));
    accounts::restorePeriod(m_from, m_to, Settings::PeriodOf::Receipts);
    for (QLineEdit* e : {m_from, m_to})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    labelled(QStringLiteral("Reçu du"), m_from, "LblDu");
    labelled(QStringLiteral("au"), m_to, "LblAu");
    choice->addSpacing(12);
    m_withoutNames = new QCheckBox(QStringLiteral("Sans le nom des patientes"), this);
    m_withoutNames->setObjectName(QStringLiteral("ChkSansNoms"));
    choice->addWidget(m_withoutNames);
    choice->addStretch(1);
    auto* show = new QPushButton(QStringLiteral("Afficher"), this);
    show->setObjectName(QStringLiteral("CmdAfficher"));
    show->setDefault(true);
    choice->addWidget(show);
    root->addLayout(choice);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("OngletsRecettes"));
    m_receiptsModel = new ReceiptsModel(&receiptsOf, this);
    m_outgoingsModel = new ReceiptsModel(&outgoingsOf, this);
    m_openingsModel = new ReceiptsModel(&openingsOf, this);
    m_receipts = bookView("LstRecettes", m_receiptsModel, m_tabs);
    m_outgoings = bookView("LstSorties", m_outgoingsModel, m_tabs);
    m_openings = bookView("LstReprises", m_openingsModel, m_tabs);
    m_totals = new QTableWidget(m_tabs);
    m_totals->setObjectName(QStringLiteral("LstTotaux"));
    m_totals->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_totals->verticalHeader()->hide();
    m_totals->verticalHeader()->setDefaultSectionSize(m_totals->fontMetrics().height() + 4);
    m_totals->setColumnCount(3);
    m_totals->setHorizontalHeaderLabels(
        {QStringLiteral("Totaux"), QStringLiteral("Recettes"), QStringLiteral("Montant")});
    m_totals->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tabs->addTab(m_receipts, QStringLiteral("Recettes"));
    m_tabs->addTab(m_totals, QStringLiteral("Totaux par jour, mois et mode"));
    m_tabs->addTab(m_outgoings, QStringLiteral("Rétrocessions versées"));
    m_tabs->addTab(m_openings, QStringLiteral("Reprises sans date"));
    root->addWidget(m_tabs, 1);

    auto* sums = new QGridLayout;
    auto sum = [&](int row, const QString& caption, const char* name) {
        auto* c = new QLabel(caption, this);
        auto* v = new QLabel(this);
        v->setObjectName(QLatin1String(name));
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setMinimumWidth(v->fontMetrics().horizontalAdvance(QStringLiteral("-0 000 000,00 €")) + 8);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        sums->addWidget(c, row, 0);
        sums->addWidget(v, row, 1);
        return v;
    };
    m_total = sum(0, QStringLiteral("Total des recettes de la période :"), "LblTotal");
    QFont bold = m_total->font();
    bold.setBold(true);
    m_total->setFont(bold);
    m_outgoingTotal = sum(1, QStringLiteral("Rétrocessions versées :"), "LblSorties");
    m_openingTotal = sum(2, QStringLiteral("Reprises sans date (actes de la période) :"), "LblReprises");
    m_beforeJournal = new QLabel(this);
    m_beforeJournal->setObjectName(QStringLiteral("LblAvantJournal"));
    m_beforeJournal->setWordWrap(true);
    m_beforeJournal->hide();
    sums->addWidget(m_beforeJournal, 3, 0, 1, 3);
    sums->setColumnStretch(2, 1);

    auto* fec = new QGridLayout;
    auto* sirenLabel = new QLabel(QStringLiteral("SIREN :"), this);
    m_siren = new QLineEdit(this);
    m_siren->setObjectName(QStringLiteral("TxtSiren"));
    m_siren->setMaxLength(9);
    m_siren->setFixedWidth(m_siren->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16);
    sirenLabel->setBuddy(m_siren);
    auto* fecButton = new QPushButton(QStringLiteral("Fichier FEC de l'année..."), this);
    fecButton->setObjectName(QStringLiteral("CmdFec"));
    fec->addWidget(sirenLabel, 0, 0);
    fec->addWidget(m_siren, 0, 1);
    fec->addWidget(fecButton, 0, 2);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(sums, 1);
    bottom->addLayout(fec);
    root->addLayout(bottom);

    auto* buttons = new QHBoxLayout;
    auto* printButton = new QPushButton(QStringLiteral("Imprimer..."), this);
    printButton->setObjectName(QStringLiteral("CmdImprimer"));
    auto* exportButton = new QPushButton(QStringLiteral("Exporter..."), this);
    exportButton->setObjectName(QStringLiteral("CmdExporter"));
    auto* closeButton = new QPushButton(QStringLiteral("Fermer"), this);
    closeButton->setObjectName(QStringLiteral("CmdFermer"));
    buttons->addWidget(printButton);
    buttons->addWidget(exportButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    root->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &ReceiptsWindow::showBook);
    connect(m_from, &QLineEdit::returnPressed, this, &ReceiptsWindow::showBook);
    connect(m_to, &QLineEdit::returnPressed, this, &ReceiptsWindow::showBook);
    connect(m_withoutNames, &QCheckBox::toggled, this, [this](bool without) {
        m_sheet = std::make_unique<ReceiptsSheet>(m_sheet->book(), !without);
        display();
    });
    connect(printButton, &QPushButton::clicked, this, &ReceiptsWindow::print);
    connect(exportButton, &QPushButton::clicked, this, &ReceiptsWindow::exportBook);
    connect(fecButton, &QPushButton::clicked, this, &ReceiptsWindow::writeFec);
    connect(closeButton, &QPushButton::clicked, this, &ReceiptsWindow::close);
}

void ReceiptsWindow::showBook() {
    const auto first = parseFrenchDate(m_from->text());
    const auto last = parseFrenchDate(m_to->text());
    if (!first || !last) {
        Dialogs::inform(this, accounts::kBadDate);
        return;
    }
    if (!practitionerChosen(QStringLiteral("afficher")))
        return;
    accounts::rememberPeriod(m_from, m_to, Settings::PeriodOf::Receipts);
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    // The book shown is let go first: a year's lines are never held twice.
    m_shownPractitioner.clear();
    m_sheet = std::make_unique<ReceiptsSheet>(ReceiptsBook{}, !m_withoutNames->isChecked());
    display();
    ReceiptsBook book;
    const QString practitioner = m_practitioner->currentText();
    if (const Status s =
            store->journal().receipts(practitioner, Period{dayNumberOf(*first), dayNumberOf(*last)}, &book);
        !s) {
        Dialogs::warn(this, QStringLiteral("Le livre des recettes n'a pas pu être établi.\n%1").arg(s.message));
        return;
    }
    m_shownPractitioner = practitioner;
    m_shownFrom = frenchDate(*first);
    m_shownTo = frenchDate(*last);
    m_sheet = std::make_unique<ReceiptsSheet>(std::move(book), !m_withoutNames->isChecked());
    display();
}

void ReceiptsWindow::display() {
    for (ReceiptsModel* m : {m_receiptsModel, m_outgoingsModel, m_openingsModel})
        m->setSheet(m_sheet.get());
    for (QTableView* v : {m_receipts, m_outgoings, m_openings})
        sizeColumns(v, *m_sheet);
    m_total->setText(ReceiptsSheet::euroText(m_sheet->total()));
    m_outgoingTotal->setText(ReceiptsSheet::euroText(m_sheet->outgoingTotal()));
    m_openingTotal->setText(ReceiptsSheet::euroText(m_sheet->openingTotal()));
    m_beforeJournal->setText(m_sheet->beforeJournalText());
    m_beforeJournal->setVisible(!m_beforeJournal->text().isEmpty());

    m_totals->clearContents();
    std::vector<QStringList> rows;
    std::vector<int> titles;
    for (const auto& [title, list] : {std::pair{QStringLiteral("Par mois"), &m_sheet->byMonth()},
                                      std::pair{QStringLiteral("Par mode"), &m_sheet->byMode()},
                                      std::pair{QStringLiteral("Par jour"), &m_sheet->byDay()}}) {
        titles.push_back(int(rows.size()));
        rows.push_back({title, QString(), QString()});
        for (const auto& t : *list)
            rows.push_back(
                {QStringLiteral("   ") + t.label, QString::number(t.count), ReceiptsSheet::euroText(t.amount)});
    }
    rows.push_back({QStringLiteral("Total de la période"), QString::number(m_sheet->book().receipts.size()),
                    ReceiptsSheet::euroText(m_sheet->total())});
    titles.push_back(int(rows.size()) - 1);
    m_totals->setRowCount(int(rows.size()));
    QFont bold = m_totals->font();
    bold.setBold(true);
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment(Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight));
            if (std::find(titles.begin(), titles.end(), r) != titles.end())
                item->setFont(bold);
            m_totals->setItem(r, c, item);
        }
    }
    m_totals->resizeColumnToContents(1);
    m_totals->resizeColumnToContents(2);
}

bool ReceiptsWindow::practitionerChosen(const QString& nothingTo) {
    if (!m_practitioner->currentText().isEmpty())
        return true;
    Dialogs::inform(this, QStringLiteral("Choisissez d'abord le praticien : il n'y a rien à %1.").arg(nothingTo));
    return false;
}

bool ReceiptsWindow::printOn(QPrinter* printer, int* pages) {
    QString error;
    if (!ReceiptsPrint::print(printer, m_shownPractitioner, m_shownFrom, m_shownTo, *m_sheet, &error, pages)) {
        Dialogs::warn(this, error);
        return false;
    }
    return true;
}

void ReceiptsWindow::print() {
    if (m_shownPractitioner.isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Affichez d'abord le livre : il n'y a rien à imprimer."));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs::choosePrinter(this, &printer, QStringLiteral("Imprimer le livre des recettes")))
        return; // cancelled: nothing is sent
    printOn(&printer);
}

void ReceiptsWindow::exportBook() {
    if (m_shownPractitioner.isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Affichez d'abord le livre : il n'y a rien à exporter."));
        return;
    }
    const QString path =
        Dialogs::chooseSaveFile(this, QStringLiteral("Exporter le livre des recettes"), QStringLiteral("recettes.csv"),
                                QStringLiteral("Fichiers CSV (*.csv)"));
    if (path.isEmpty())
        return; // cancelled
    QString error;
    if (!ActsCsv::write(path, m_sheet->csvDocument(), &error))
        Dialogs::warn(this, error);
}

void ReceiptsWindow::writeFec() {
    if (!practitionerChosen(QStringLiteral("écrire")))
        return;
    const auto last = parseFrenchDate(m_to->text());
    if (!last || !parseFrenchDate(m_from->text())) {
        Dialogs::inform(this, accounts::kBadDate);
        return;
    }
    FecFile::Request request;
    request.practitioner = m_practitioner->currentText();
    request.year = last->year();
    request.siren = m_siren->text().trimmed();
    request.withNames = !m_withoutNames->isChecked();
    request.accounts = Settings::ledgerAccounts();
    if (const QString problem = FecFile::sirenProblem(request.siren); !problem.isEmpty()) {
        Dialogs::inform(this, problem);
        return;
    }
    const QString folder =
        Dialogs::chooseFolder(this, QStringLiteral("Dossier du fichier des écritures comptables %1").arg(request.year));
    if (folder.isEmpty())
        return; // cancelled
    const QString name = FecFile::fileName(request.siren, request.year);
    if (QFileInfo::exists(QDir(folder).filePath(name)) &&
        !Dialogs::ask(this, QStringLiteral("Le fichier %1 existe déjà dans ce dossier. Le remplacer ?").arg(name),
                      Dialogs::Default::No))
        return;
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    QString path, message;
    if (FecFile::write(*store, request, folder, &path, &message) != FecFile::Outcome::Written) {
        Dialogs::warn(this, message);
        return;
    }
    QString written = QStringLiteral("Le fichier des écritures comptables de l'exercice %1 (du 01/01/%1 au "
                                     "31/12/%1) a été écrit, avec son descriptif :\n%2")
                          .arg(request.year)
                          .arg(QDir::toNativeSeparators(path));
    // The SIREN the file was named with is kept with the practitioner for the next time.
    if (const Status s = PractitionerSiren::keep(*store, request.practitioner, request.siren); !s) {
        Dialogs::warn(this, written + QStringLiteral("\n\nMais le SIREN %1 n'a pas pu être gardé pour « %2 » dans la "
                                                     "base : il reste dans sa case, et sera gardé avec le prochain "
                                                     "fichier écrit.\n%3")
                                          .arg(request.siren, request.practitioner, s.message));
        return;
    }
    m_typed.remove(request.practitioner);
    m_siren->setModified(false);
    Dialogs::inform(this, written);
}

void ReceiptsWindow::showSirenOf(const QString& practitioner) {
    if (!m_sirenOf.isEmpty() && m_siren->isModified())
        m_typed.insert(m_sirenOf, m_siren->text());
    m_sirenOf = practitioner;
    if (const auto typed = m_typed.constFind(practitioner); typed != m_typed.constEnd()) {
        m_siren->setText(*typed);
        m_siren->setModified(true);
        return;
    }
    QString siren;
    if (const auto store = practitioner.isEmpty() ? nullptr : searchStore(this, m_database)) {
        if (const Status s = PractitionerSiren::read(*store, practitioner, &siren); !s)
            Dialogs::warn(this, QStringLiteral("Le SIREN de « %1 » n'a pas pu être lu : saisissez-le.\n%2")
                                    .arg(practitioner, s.message));
    }
    m_siren->setText(siren);
}

} // namespace obs
