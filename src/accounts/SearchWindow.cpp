// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/SearchWindow.h"

#include "accounts/ReceiptsWindow.h"
#include "accounts/ReversalPanel.h"
#include "accounts/SearchPanel.h"
#include "accounts/TaxYearWindow.h"
#include "accounts/YearStatementWindow.h"
#include "common/Settings.h"
#include "store/ChangeWatch.h"
#include "store/SharedDatabase.h"
#include "widgets/Controls.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenRoom.h"
#include "widgets/TextGuard.h"

#include "ui_SearchWindow.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace obs {

namespace {

const QString kNoRatesFile = QStringLiteral("Le Fichier taux.cmt est introuvable ou non chargé.");
const QString kExplanation =
    QStringLiteral("Le médecin effectuant un acte pour un médecin remplacé (ex: 1.000 €), lui doit le pourcentage ") +
    QStringLiteral("indiqué (ex: 50%), de la valeur de l'acte, diminué du pourcentage que le médecin remplaçant verse "
                   "à la clinique sur cet acte (ex: 10%).") +
    QStringLiteral(" Soit :  (1000 - 100) / 2 = 450 €");

} // namespace

SearchWindow::SearchWindow(SharedDatabase& database, QWidget* parent)
    : Screen(QStringLiteral("Form10"), parent), m_ui(std::make_unique<Ui::SearchWindow>()), m_database(database) {
    setWindowTitle(QStringLiteral("Recherches et reversements"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    refuseControlCharacters(this);
    load();
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::buildUi() {
    m_ui->setupUi(this);
    // The menu bar and the panels, which take the shared database, are made here; the
    // explanation stays below them.
    auto* menu = new QMenuBar(this);
    QAction* imprime = menu->addAction(QStringLiteral("Imprimer la liste"));
    imprime->setObjectName(QStringLiteral("Imprime"));
    imprime->setShortcut(QKeySequence::Print);
    QAction* exporte = menu->addAction(QStringLiteral("Exporter la liste..."));
    exporte->setObjectName(QStringLiteral("Exporte"));
    QAction* releve = menu->addAction(QStringLiteral("Relevé annuel..."));
    releve->setObjectName(QStringLiteral("MnuReleve"));
    QAction* recettes = menu->addAction(QStringLiteral("Livre des recettes..."));
    recettes->setObjectName(QStringLiteral("MnuRecettes"));
    QAction* anneeFiscale = menu->addAction(QStringLiteral("Année fiscale..."));
    anneeFiscale->setObjectName(QStringLiteral("MnuAnneeFiscale"));
    m_ui->root->setMenuBar(menu);
    m_search = new SearchPanel(m_database, this);
    m_ui->root->insertWidget(0, m_search, 3);
    // Said under the found list when another workstation changed the acts since the listing.
    m_listChanged = new QWidget(this);
    auto* noticeRow = new QHBoxLayout(m_listChanged);
    noticeRow->setContentsMargins(0, 0, 0, 0);
    auto* notice = new QLabel(QStringLiteral("La liste a changé depuis la recherche"), m_listChanged);
    notice->setObjectName(QStringLiteral("LblListeChangee"));
    notice->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    auto* again = new QPushButton(QStringLiteral("Rechercher à nouveau"), m_listChanged);
    again->setObjectName(QStringLiteral("CmdRechercherANouveau"));
    again->setAutoDefault(false);
    noticeRow->addWidget(notice);
    noticeRow->addWidget(again);
    noticeRow->addStretch(1);
    m_listChanged->hide();
    m_ui->root->insertWidget(1, m_listChanged);
    m_reversal = new ReversalPanel(m_database, this);
    m_ui->root->insertWidget(2, m_reversal, 2);
    m_explanation = m_ui->Label13;

    connect(imprime, &QAction::triggered, m_search, [this] { m_search->printList(true); });
    connect(exporte, &QAction::triggered, m_search, [this] { m_search->exportList(); });
    connect(releve, &QAction::triggered, this, &SearchWindow::openYearStatement);
    connect(recettes, &QAction::triggered, this, &SearchWindow::openReceiptsBook);
    connect(anneeFiscale, &QAction::triggered, this, &SearchWindow::openTaxYear);
    connect(m_search, &SearchPanel::quitRequested, this, &SearchWindow::close);
    connect(m_search, &SearchPanel::actChosen, this, [this](qint64 number) {
        close();
        emit actChosen(number);
    });
    connect(m_reversal, &ReversalPanel::finished, this, &SearchWindow::close);
    connect(m_search, &SearchPanel::foundListChanged, this, [this](bool listed) {
        m_listed = listed;
        m_listChanged->hide();
    });
    connect(again, &QPushButton::clicked, m_search, &SearchPanel::listAgain);
    connect(&m_database.changes(), &ChangeWatch::changed, this, &SearchWindow::changedElsewhere);

    // Roomy where the screen allows, but always whole on it, title bar included.
    resize(sizeWithinScreen(this, QSize(1180, 860)).expandedTo(minimumSizeHint()));
}

void SearchWindow::load() {
    if (!m_reversal->loadRates())
        Dialogs::inform(this, kNoRatesFile);

    // Not reported here: the lists stay empty, and a listing run later says what is wrong.
    m_database.reopenFromSettings();
    if (const auto store = m_database.store()) {
        QStringList practitioners, acts;
        ReferenceTable& lists = store->references();
        lists.labels(ReferenceList::Practitioners, ReferenceOrder::ByLabel, &practitioners);
        lists.labels(ReferenceList::DeliveryActs, ReferenceOrder::ByLabel, &acts);
        m_search->setLists(practitioners, acts);
        m_reversal->setPractitioners(practitioners);
    }

    m_explanation->setText(kExplanation);
}

void SearchWindow::openYearStatement() {
    // One statement window at a time: asked again, the open one comes to the front.
    if (m_yearStatement) {
        m_yearStatement->raise();
        m_yearStatement->activateWindow();
        return;
    }
    m_yearStatement = new YearStatementWindow(m_database, this);
    m_yearStatement->show();
}

void SearchWindow::changedElsewhere(const StoreChanges& changes) {
    if (m_listed && changes.actsMayHaveChanged())
        m_listChanged->show();
}

void SearchWindow::openReceiptsBook() {
    if (m_receiptsBook) {
        m_receiptsBook->raise();
        m_receiptsBook->activateWindow();
        return;
    }
    m_receiptsBook = new ReceiptsWindow(m_database, this);
    m_receiptsBook->show();
}

void SearchWindow::openTaxYear() {
    if (m_taxYear) {
        m_taxYear->raise();
        m_taxYear->activateWindow();
        return;
    }
    m_taxYear = new TaxYearWindow(m_database, this);
    m_taxYear->show();
}

SearchState SearchWindow::state() const {
    return m_search->state();
}

void SearchWindow::resume(const SearchState& state) {
    m_search->restore(state);
}

std::vector<ListPrint::Line> SearchWindow::composedPrint() const {
    return m_search->composedPrint();
}

} // namespace obs
