// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/SearchPanel.h"

#include "accounts/AccountsControls.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/ActsCsv.h"
#include "domain/ListingModel.h"
#include "store/SharedDatabase.h"
#include "widgets/Dialogs.h"

#include "ui_SearchPanel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace obs {

namespace {

// A choice-only combo box can be emptied again with Delete or Backspace.
class ClearChoiceFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
                static_cast<QComboBox*>(watched)->setCurrentIndex(-1);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

std::shared_ptr<Store> searchStore(QWidget* parent, SharedDatabase& database) {
    if (auto store = database.store(); store && store->isOpen())
        return store;
    const Status s = database.reopen();
    if (!s) {
        Dialogs::warn(parent, QStringLiteral("La base de données n'a pas pu être ouverte.\n%1").arg(s.message));
        return nullptr;
    }
    return database.store();
}

SearchPanel::SearchPanel(SharedDatabase& database, QWidget* parent)
    : QGroupBox(QStringLiteral("Recherche Multi critères"), parent), m_ui(std::make_unique<Ui::SearchPanel>()),
      m_database(database), m_found(new ListingModel(this)) {
    setObjectName(QStringLiteral("FrameRecherche"));
    buildUi();
}

SearchPanel::~SearchPanel() = default;

void SearchPanel::buildUi() {
    m_ui->setupUi(this);
    m_txtDate1 = m_ui->TxtDate1;
    m_txtDate2 = m_ui->TxtDate2;
    m_cmbPrat1 = m_ui->CmbPrat1;
    m_cmbPrat2 = m_ui->CmbPrat2;
    m_cmbActes = m_ui->CmbActes;
    m_cmbNF = m_ui->CmbNF;
    m_txtPatiente = m_ui->TxtPatiente;
    m_foundNumbers = m_ui->List1;
    m_foundList = m_ui->List2;
    m_foundCount = m_ui->Label1;
    m_totalCaption = m_ui->Label4;
    m_lblTotalActes = m_ui->LblTotalActes;
    m_lblTotalActesF = m_ui->LblTotalActesF;
    QPushButton* printButton = m_ui->Command1;
    QPushButton* listButton = m_ui->Command2;
    QPushButton* clearButton = m_ui->Command3;
    QPushButton* cmdImpayes = m_ui->CmdImpayes;
    QPushButton* cmdDE = m_ui->CmdDE;
    QPushButton* cmdRestes = m_ui->CmdRestes;
    QPushButton* cmdQuitte = m_ui->CmdQuitte;

    // Nothing is completed behind the user's back (MART must stay MART, not become MARTIN).
    for (QComboBox* c : {m_cmbPrat1, m_cmbPrat2, m_cmbActes})
        c->setCompleter(nullptr);
    m_cmbNF->addItems({QStringLiteral("F"), QStringLiteral("N")});
    m_cmbNF->setCurrentIndex(-1);
    m_cmbNF->installEventFilter(new ClearChoiceFilter(m_cmbNF));
    clearButton->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    m_foundList->setModel(m_found);
    m_foundNumbers->setModel(new ListingNumbersModel(m_found));
    m_totalCaption->setText(Listing::totalCaption(ListingKind::Search));
    accounts::restorePeriod(m_txtDate1, m_txtDate2, Settings::PeriodOf::Search);

    connect(listButton, &QPushButton::clicked, this, [this] { runListing(ListingKind::Search); });
    connect(cmdImpayes, &QPushButton::clicked, this, [this] { runListing(ListingKind::Unpaid); });
    connect(cmdDE, &QPushButton::clicked, this, [this] { runListing(ListingKind::Excess); });
    connect(cmdRestes, &QPushButton::clicked, this, [this] { runListing(ListingKind::Remainder); });
    connect(m_ui->CmdExporter, &QPushButton::clicked, this, &SearchPanel::exportList);
    connect(clearButton, &QPushButton::clicked, this, &SearchPanel::clearSearch);
    connect(cmdQuitte, &QPushButton::clicked, this, &SearchPanel::quitRequested);
    connect(m_foundList, &QListView::doubleClicked, this, &SearchPanel::openFoundAct);
    connect(printButton, &QPushButton::clicked, this, [this] { printList(false); });
}

void SearchPanel::setLists(const QStringList& practitioners, const QStringList& deliveryActs) {
    accounts::fillEmpty({m_cmbPrat1, m_cmbPrat2}, practitioners);
    accounts::fillEmpty({m_cmbActes}, deliveryActs);
}

void SearchPanel::showCountAndTotal(const QString& count, const QString& euros, const QString& francs) {
    m_foundCount->setText(count);
    m_lblTotalActes->setText(euros);
    m_lblTotalActesF->setText(francs);
}

void SearchPanel::runListing(ListingKind kind) {
    m_lastKind = kind;
    m_totalCaption->setText(Listing::totalCaption(kind));
    const auto first = parseFrenchDate(m_txtDate1->text());
    const auto last = parseFrenchDate(m_txtDate2->text());
    if (!first || !last) {
        Dialogs::inform(this, accounts::kBadDate);
        return;
    }
    m_found->clear();
    emit foundListChanged(false);
    accounts::rememberPeriod(m_txtDate1, m_txtDate2, Settings::PeriodOf::Search);

    const Period period{dayNumberOf(*first), dayNumberOf(*last)};
    SearchCriteria criteria;
    if (kind == ListingKind::Search || kind == ListingKind::Remainder)
        criteria = {m_cmbPrat1->currentText(), m_cmbPrat2->currentText(), m_cmbActes->currentText(),
                    m_cmbNF->currentText(), m_txtPatiente->text().trimmed()};
    const auto store = searchStore(this, m_database);
    if (!store) {
        showCountAndTotal(QString(), QString(), QString());
        return;
    }

    // The lines are formatted when shown; the act numbers come with the rows, so both lists stay in step.
    ListingRows rows;
    std::optional<Money> total;
    Status s = store->acts().listing(
        kind, period, criteria,
        [&](const ListingRow& row) {
            rows.push_back(row);
            return true;
        },
        &total);
    // Every row came but not the total: the list is shown, the total said missing.
    const Status totalStatus = s.error == StoreError::TotalMissing ? s : Status::success();
    if (s.error == StoreError::TotalMissing)
        s = Status::success();
    if (!s) {
        showCountAndTotal(QString(), QString(), QString());
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(s.message));
        return;
    }
    if (rows.empty()) {
        showCountAndTotal(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"));
        emit foundListChanged(true);
        return;
    }
    m_foundCount->setText(QString::number(rows.size()));

    if (!totalStatus) {
        m_lblTotalActes->clear();
        m_lblTotalActesF->clear();
        Dialogs::warn(
            this, QStringLiteral("Le total des actes trouvés n'a pas pu être calculé.\n%1").arg(totalStatus.message));
    } else if (total) {
        m_lblTotalActes->setText(total->toEuroText());
        m_lblTotalActesF->setText(francsCaption(*total));
    } else {
        m_lblTotalActes->setText(QStringLiteral("0"));
        m_lblTotalActesF->setText(QStringLiteral("0"));
    }

    // As at every listing, the shared database is opened afresh (the previous one stays on failure).
    m_database.reopen();
    m_found->setRows(kind, std::move(rows));
    emit foundListChanged(true);
}

void SearchPanel::listAgain() {
    runListing(m_lastKind);
}

void SearchPanel::clearSearch() {
    for (QComboBox* box : {m_cmbPrat1, m_cmbPrat2, m_cmbActes}) {
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
    m_txtPatiente->clear();
    showCountAndTotal(QString(), QString(), QString());
    m_found->clear();
    emit foundListChanged(false);
}

SearchState SearchPanel::state() const {
    SearchState st;
    st.from = m_txtDate1->text();
    st.to = m_txtDate2->text();
    st.followedBy = m_cmbPrat1->currentText();
    st.performedBy = m_cmbPrat2->currentText();
    st.act = m_cmbActes->currentText();
    st.nightOrHoliday = m_cmbNF->currentText();
    st.patient = m_txtPatiente->text();
    st.totalCaption = m_totalCaption->text();
    st.count = m_foundCount->text();
    st.euros = m_lblTotalActes->text();
    st.francs = m_lblTotalActesF->text();
    st.kind = m_found->kind();
    st.rows = m_found->rows();
    st.currentLine = m_foundList->currentIndex().row();
    return st;
}

void SearchPanel::restore(const SearchState& st) {
    m_txtDate1->setText(st.from);
    m_txtDate2->setText(st.to);
    for (const auto& [box, text] : {std::pair{m_cmbPrat1, &st.followedBy}, std::pair{m_cmbPrat2, &st.performedBy},
                                    std::pair{m_cmbActes, &st.act}})
        box->setEditText(*text);
    m_cmbNF->setCurrentIndex(m_cmbNF->findText(st.nightOrHoliday));
    m_txtPatiente->setText(st.patient);
    m_totalCaption->setText(st.totalCaption);
    showCountAndTotal(st.count, st.euros, st.francs);
    m_found->setRows(st.kind, st.rows);
    m_lastKind = st.kind;
    emit foundListChanged(!st.count.isEmpty());
    if (st.currentLine >= 0 && st.currentLine < m_found->rowCount()) {
        const QModelIndex line = m_found->index(st.currentLine, 0);
        m_foundList->setCurrentIndex(line);
        // Once the list is laid out on the screen, the line the user was on is in view.
        QTimer::singleShot(0, m_foundList, [view = m_foundList] {
            view->scrollTo(view->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    }
}

void SearchPanel::openFoundAct(const QModelIndex& index) {
    if (!index.isValid())
        return;
    emit actChosen(index.data(ListingModel::NumberRole).toLongLong());
}

std::vector<ListPrint::Line> SearchPanel::composedPrint() const {
    const ListPrint::Heading heading{m_cmbPrat2->currentText(), m_cmbPrat1->currentText(), m_cmbActes->currentText(),
                                     m_txtDate1->text(), m_txtDate2->text()};
    const ListPrint::Summary summary{m_ui->Label2->text(), m_foundCount->text(), m_totalCaption->text(),
                                     m_lblTotalActes->text()};
    return ListPrint::compose(heading, m_found->lines(), summary);
}

void SearchPanel::printList(bool choosePrinter) {
    QPrinter printer(QPrinter::HighResolution);
    if (choosePrinter) {
        if (!Dialogs::choosePrinter(this, &printer))
            return; // cancelled: nothing is sent
    } else {
        Dialogs::preparePrinter(&printer);
    }
    QString error;
    if (!ListPrint::print(&printer, composedPrint(), &error))
        Dialogs::warn(this, error);
}

void SearchPanel::exportList() {
    if (m_found->rows().empty()) {
        Dialogs::inform(this, QStringLiteral("La liste est vide : il n'y a rien à exporter."));
        return;
    }
    const QString path = Dialogs::chooseSaveFile(this, QStringLiteral("Exporter la liste"), QStringLiteral("actes.csv"),
                                                 QStringLiteral("Fichiers CSV (*.csv)"));
    if (path.isEmpty())
        return; // cancelled
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    // Every column is read afresh: the list itself keeps only what its lines show.
    std::vector<qint64> numbers;
    numbers.reserve(m_found->rows().size());
    for (const ListingRow& row : m_found->rows())
        numbers.push_back(row.number);
    std::vector<Act> acts;
    if (const Status s = store->acts().findMany(numbers, &acts); !s) {
        Dialogs::warn(
            this,
            QStringLiteral("Les actes de la liste n'ont pas pu être lus ; rien n'a été exporté.\n%1").arg(s.message));
        return;
    }
    QString error;
    if (!ActsCsv::write(path, ActsCsv::document(acts), &error)) {
        Dialogs::warn(this, error);
        return;
    }
    Dialogs::inform(this, QStringLiteral("%1 acte(s) exporté(s) dans « %2 ».").arg(acts.size()).arg(path));
}

} // namespace obs
