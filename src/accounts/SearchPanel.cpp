// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/SearchPanel.h"

#include "accounts/AccountsControls.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/ListingModel.h"
#include "store/SharedDatabase.h"
#include "widgets/Controls.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace obs {

using accounts::bold;
using accounts::dateBox;
using accounts::typingCombo;
using controls::button;
using controls::label;
using controls::named;

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
    : QGroupBox(QStringLiteral("Recherche Multi critères"), parent), m_database(database),
      m_found(new ListingModel(this)) {
    setObjectName(QStringLiteral("FrameRecherche"));
    buildUi();
}

void SearchPanel::buildUi() {
    auto* searchRow = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    searchRow->addLayout(left, 0);
    searchRow->addSpacing(8);
    searchRow->addLayout(right, 1);

    auto* period = new QGridLayout;
    m_txtDate1 = dateBox(this, "TxtDate1", QStringLiteral("01/01/2004"));
    m_txtDate2 = dateBox(this, "TxtDate2", QStringLiteral("31/12/2010"));
    period->addWidget(label(this, "Label25", QStringLiteral("Entre le")), 0, 0);
    period->addWidget(m_txtDate1, 0, 1);
    period->addWidget(label(this, "Label26", QStringLiteral("Et le")), 0, 2);
    period->addWidget(m_txtDate2, 0, 3);
    period->setColumnStretch(4, 1);
    left->addLayout(period);

    auto* criteria = new QGroupBox(QStringLiteral("Recherche multi critères"), this);
    criteria->setObjectName(QStringLiteral("FrameCriteres"));
    auto* cg = new QGridLayout(criteria);
    m_cmbPrat1 = typingCombo(criteria, "CmbPrat1");
    m_cmbPrat2 = typingCombo(criteria, "CmbPrat2");
    m_cmbActes = typingCombo(criteria, "CmbActes");
    m_cmbActes->setMinimumContentsLength(30);
    m_cmbNF = named<QComboBox>(criteria, "CmbNF");
    m_cmbNF->addItems({QStringLiteral("F"), QStringLiteral("N")});
    m_cmbNF->setCurrentIndex(-1);
    m_cmbNF->setMinimumWidth(m_cmbNF->fontMetrics().horizontalAdvance(QStringLiteral("MMMM")) + 40);
    m_cmbNF->setToolTip(QStringLiteral("F : férié, N : nuit. Suppr pour n'en choisir aucun."));
    m_cmbNF->installEventFilter(new ClearChoiceFilter(m_cmbNF));
    cg->addWidget(label(criteria, "Label3", QStringLiteral("Praticien suivant la patiente")), 0, 0);
    cg->addWidget(m_cmbPrat1, 0, 1, 1, 2);
    cg->addWidget(label(criteria, "Label20", QStringLiteral("Praticien  auteur de l'acte")), 1, 0);
    cg->addWidget(m_cmbPrat2, 1, 1, 1, 2);
    cg->addWidget(label(criteria, "Label23", QStringLiteral("Acte éffectué")), 2, 0);
    cg->addWidget(m_cmbActes, 2, 1, 1, 2);
    cg->addWidget(label(criteria, "Label17", QStringLiteral("Jour ou Nuit")), 3, 0);
    cg->addWidget(m_cmbNF, 3, 1);
    auto* command2 = button(criteria, "Command2", QStringLiteral("Rechercher"));
    command2->setMinimumWidth(140);
    auto* clearFrame = new QGroupBox(criteria);
    clearFrame->setObjectName(QStringLiteral("FrameEffacer"));
    auto* clearLayout = new QHBoxLayout(clearFrame);
    clearLayout->setContentsMargins(4, 4, 4, 4);
    auto* command3 = named<QPushButton>(clearFrame, "Command3");
    command3->setAutoDefault(false);
    command3->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    command3->setIconSize(QSize(24, 24));
    command3->setToolTip(QStringLiteral("Effacer les critères et la liste trouvée"));
    command3->setAccessibleName(QStringLiteral("Effacer"));
    clearLayout->addWidget(command3);
    auto* actions = new QHBoxLayout;
    actions->addWidget(command2);
    actions->addStretch(1);
    actions->addWidget(clearFrame);
    cg->addLayout(actions, 4, 0, 1, 3);
    cg->setColumnStretch(2, 1);
    left->addWidget(criteria);

    auto* cmdImpayes = button(this, "CmdImpayes", QStringLiteral("Rechercher les Impayés"));
    auto* cmdDE = button(this, "CmdDE", QStringLiteral("Rechercher Actes avec mutuelles"));
    auto* listings = new QHBoxLayout;
    listings->addWidget(cmdImpayes);
    listings->addWidget(cmdDE);
    left->addLayout(listings);
    left->addStretch(1);

    m_list2 = named<QListView>(this, "List2");
    m_list2->setModel(m_found);
    m_list2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list2->setUniformItemSizes(true);
    m_list2->setMinimumSize(420, 200);
    m_list2->setToolTip(QStringLiteral("Double-cliquez sur un acte pour l'ouvrir dans la fenêtre principale."));
    m_list1 = named<QListView>(this, "List1");
    m_list1->setModel(new ListingNumbersModel(m_found));
    m_list1->setUniformItemSizes(true);
    m_list1->hide();
    right->addWidget(m_list2, 1);

    auto* totals = new QGridLayout;
    m_label1 = label(this, "Label1", QString());
    m_label1->setFont(bold(m_label1->font()));
    m_label4 = label(this, "Label4", Listing::totalCaption(ListingKind::Search));
    m_label4->setWordWrap(true);
    m_lblTotalActes = label(this, "LblTotalActes", QString());
    m_lblTotalActes->setFont(bold(m_lblTotalActes->font()));
    m_lblTotalActesF = label(this, "LblTotalActesF", QString());
    for (QLabel* l : {m_label1, m_lblTotalActes, m_lblTotalActesF}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("000000000,00 F")));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    totals->addWidget(label(this, "Label2", QStringLiteral("Nbre.  trouvé")), 0, 0);
    totals->addWidget(m_label1, 0, 1);
    totals->addWidget(m_label4, 1, 0);
    totals->addWidget(m_lblTotalActes, 1, 1);
    totals->addWidget(m_lblTotalActesF, 1, 2);
    totals->setColumnStretch(0, 1);
    right->addLayout(totals);

    auto* command1 = button(this, "Command1", QStringLiteral("Imprimer la liste"));
    auto* cmdQuitte = button(this, "CmdQuitte", QStringLiteral("Quitter"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(command1);
    bottom->addStretch(1);
    bottom->addWidget(cmdQuitte);
    right->addLayout(bottom);


    connect(command2, &QPushButton::clicked, this, [this] { runListing(ListingKind::Search); });
    connect(cmdImpayes, &QPushButton::clicked, this, [this] { runListing(ListingKind::Unpaid); });
    connect(cmdDE, &QPushButton::clicked, this, [this] { runListing(ListingKind::Excess); });
    connect(command3, &QPushButton::clicked, this, &SearchPanel::clearSearch);
    connect(cmdQuitte, &QPushButton::clicked, this, &SearchPanel::quitRequested);
    connect(m_list2, &QListView::doubleClicked, this, &SearchPanel::openFoundAct);
    connect(command1, &QPushButton::clicked, this, [this] { printList(false); });
}

void SearchPanel::setLists(const QStringList& practitioners, const QStringList& deliveryActs) {
    accounts::fillEmpty({m_cmbPrat1, m_cmbPrat2}, practitioners);
    accounts::fillEmpty({m_cmbActes}, deliveryActs);
}

void SearchPanel::showCountAndTotal(const QString& count, const QString& euros, const QString& francs) {
    m_label1->setText(count);
    m_lblTotalActes->setText(euros);
    m_lblTotalActesF->setText(francs);
}

void SearchPanel::runListing(ListingKind kind) {
    m_label4->setText(Listing::totalCaption(kind));
    const auto first = parseFrenchDate(m_txtDate1->text());
    const auto last = parseFrenchDate(m_txtDate2->text());
    if (!first || !last) {
        Dialogs::inform(this, accounts::kBadDate);
        return;
    }
    m_found->clear();

    const Period period{dayNumberOf(*first), dayNumberOf(*last)};
    SearchCriteria criteria;
    if (kind == ListingKind::Search)
        criteria = {m_cmbPrat1->currentText(), m_cmbPrat2->currentText(), m_cmbActes->currentText(),
                    m_cmbNF->currentText()};
    const auto store = searchStore(this, m_database);
    if (!store) {
        showCountAndTotal(QString(), QString(), QString());
        return;
    }

    // The lines are formatted when shown; the act numbers come with the rows, so both lists stay in step.
    std::vector<ListingRow> rows;
    Status s = store->acts().listing(kind, period, criteria, [&](const ListingRow& row) {
        rows.push_back(row);
        return true;
    });
    if (!s) {
        showCountAndTotal(QString(), QString(), QString());
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(s.message));
        return;
    }
    if (rows.empty()) {
        showCountAndTotal(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"));
        return;
    }
    m_label1->setText(QString::number(rows.size()));

    std::optional<Money> total;
    s = store->acts().listingTotal(kind, period, criteria, &total);
    if (!s) {
        m_lblTotalActes->clear();
        m_lblTotalActesF->clear();
        Dialogs::warn(this, QStringLiteral("Le total des actes trouvés n'a pas pu être calculé.\n%1").arg(s.message));
    } else if (total) {
        m_lblTotalActes->setText(total->toFrench() + QStringLiteral(" €"));
        m_lblTotalActesF->setText(francsCaption(*total));
    } else {
        m_lblTotalActes->setText(QStringLiteral("0"));
        m_lblTotalActesF->setText(QStringLiteral("0"));
    }

    // As at every listing, the shared database is opened afresh (the previous one stays on failure).
    m_database.reopen();
    m_found->setRows(kind, std::move(rows));
}

void SearchPanel::clearSearch() {
    for (QComboBox* box : {m_cmbPrat1, m_cmbPrat2, m_cmbActes}) {
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
    showCountAndTotal(QString(), QString(), QString());
    m_found->clear();
}

void SearchPanel::openFoundAct(const QModelIndex& index) {
    if (!index.isValid())
        return;
    emit actChosen(index.data(ListingModel::NumberRole).toLongLong());
}

std::vector<ListPrint::Line> SearchPanel::composedPrint() const {
    const ListPrint::Heading heading{m_cmbPrat2->currentText(), m_cmbPrat1->currentText(), m_cmbActes->currentText(),
                                     m_txtDate1->text(), m_txtDate2->text()};
    return ListPrint::compose(heading, m_found->lines());
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

} // namespace obs
