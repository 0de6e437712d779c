#include "accounts/SearchWindow.h"

#include "app/MainWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/RatesFile.h"
#include "domain/Reversal.h"
#include "store/Cursor.h"
#include "store/SharedStore.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Controls.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace obs {

using controls::button;
using controls::label;
using controls::named;

namespace {

const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");
const QString kNoRatesFile = QStringLiteral("Le Fichier taux.cmt est introuvable ou non chargé.");
const QString kNoAmount =
    QStringLiteral("Pas de montant inscrit ou date saisie selon un mode incorrect. Veuillez corriger.");
const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirmReversal = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");
const QString kExplanation =
    QStringLiteral("Le médecin effectuant un acte pour un médecin remplacé (ex: 1.000 €), lui doit le pourcentage ") +
    QStringLiteral("indiqué (ex: 50%), de la valeur de l'acte, diminué du pourcentage que le médecin remplaçant verse "
                   "à la clinique sur cet acte (ex: 10%).") +
    QStringLiteral(" Soit :  (1000 - 100) / 2 = 450 €");
const QString kBreak = QStringLiteral("\r\n");

QLineEdit* dateBox(QWidget* parent, const char* name, const QString& text) {
    auto* e = named<QLineEdit>(parent, name);
    e->setText(text);
    e->setPlaceholderText(QStringLiteral("JJ/MM/AAAA"));
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    return e;
}

// A combo box that takes typing: what is typed stays out of the list, and nothing is completed
// behind the user's back (MART must stay MART, not become MARTIN).
QComboBox* typingCombo(QWidget* parent, const char* name) {
    auto* c = named<QComboBox>(parent, name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->setMinimumContentsLength(22);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return c;
}

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

QFont bold(QFont f) {
    f.setBold(true);
    return f;
}

} // namespace

SearchWindow::SearchWindow(QWidget* parent) : Screen(QStringLiteral("Form10"), parent) {
    setWindowTitle(QStringLiteral("Recherches et reversements"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    load();
}

void SearchWindow::buildUi() {
    auto* root = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    QAction* imprime = menu->addAction(QStringLiteral("Imprimer la liste"));
    imprime->setObjectName(QStringLiteral("Imprime"));
    root->setMenuBar(menu);

    // ----- Search half -----
    auto* search = new QGroupBox(QStringLiteral("Recherche Multi critères"), this);
    search->setObjectName(QStringLiteral("FrameRecherche"));
    auto* searchRow = new QHBoxLayout(search);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    searchRow->addLayout(left, 0);
    searchRow->addSpacing(8);
    searchRow->addLayout(right, 1);

    auto* period = new QGridLayout;
    m_txtDate1 = dateBox(search, "TxtDate1", QStringLiteral("01/01/2004"));
    m_txtDate2 = dateBox(search, "TxtDate2", QStringLiteral("31/12/2010"));
    period->addWidget(label(search, "Label25", QStringLiteral("Entre le")), 0, 0);
    period->addWidget(m_txtDate1, 0, 1);
    period->addWidget(label(search, "Label26", QStringLiteral("Et le")), 0, 2);
    period->addWidget(m_txtDate2, 0, 3);
    period->setColumnStretch(4, 1);
    left->addLayout(period);

    auto* criteria = new QGroupBox(QStringLiteral("Recherche multi critères"), search);
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

    auto* cmdImpayes = button(search, "CmdImpayes", QStringLiteral("Rechercher les Impayés"));
    auto* cmdDE = button(search, "CmdDE", QStringLiteral("Rechercher Actes avec mutuelles"));
    auto* listings = new QHBoxLayout;
    listings->addWidget(cmdImpayes);
    listings->addWidget(cmdDE);
    left->addLayout(listings);
    left->addStretch(1);

    m_list2 = named<QListWidget>(search, "List2");
    m_list2->setUniformItemSizes(true);
    m_list2->setMinimumSize(420, 200);
    m_list2->setToolTip(QStringLiteral("Double-cliquez sur un acte pour l'ouvrir dans la fenêtre principale."));
    m_list1 = named<QListWidget>(search, "List1");
    m_list1->setUniformItemSizes(true);
    m_list1->hide();
    right->addWidget(m_list2, 1);

    auto* totals = new QGridLayout;
    m_label1 = label(search, "Label1", QString());
    m_label1->setFont(bold(m_label1->font()));
    m_label4 = label(search, "Label4", Listing::totalCaption(Listing::Kind::Search));
    m_label4->setWordWrap(true);
    m_lblTotalActes = label(search, "LblTotalActes", QString());
    m_lblTotalActes->setFont(bold(m_lblTotalActes->font()));
    m_lblTotalActesF = label(search, "LblTotalActesF", QString());
    for (QLabel* l : {m_label1, m_lblTotalActes, m_lblTotalActesF}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("000000000,00 F")));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    totals->addWidget(label(search, "Label2", QStringLiteral("Nbre.  trouvé")), 0, 0);
    totals->addWidget(m_label1, 0, 1);
    totals->addWidget(m_label4, 1, 0);
    totals->addWidget(m_lblTotalActes, 1, 1);
    totals->addWidget(m_lblTotalActesF, 1, 2);
    totals->setColumnStretch(0, 1);
    right->addLayout(totals);

    auto* command1 = button(search, "Command1", QStringLiteral("Imprimer la liste"));
    auto* cmdQuitte = button(search, "CmdQuitte", QStringLiteral("Quitter"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(command1);
    bottom->addStretch(1);
    bottom->addWidget(cmdQuitte);
    right->addLayout(bottom);
    root->addWidget(search, 3);

    // ----- Reversal half -----
    auto* reversal = new QGroupBox(QStringLiteral("Reversements"), this);
    reversal->setObjectName(QStringLiteral("FrameReversements"));
    auto* rv = new QVBoxLayout(reversal);

    auto* pair = new QHBoxLayout;
    auto* image1 = named<QLabel>(reversal, "Image1");
    image1->setPixmap(
        QPixmap(QStringLiteral(":/obsledger.png")).scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    image1->setFixedSize(40, 40);
    pair->addWidget(image1);
    pair->addSpacing(6);
    m_txtDate3 = dateBox(reversal, "TxtDate3", QStringLiteral("01/01/2004"));
    m_txtDate4 = dateBox(reversal, "TxtDate4", QStringLiteral("31/12/2010"));
    m_cmbPPrat2 = typingCombo(reversal, "CmbPPrat2");
    m_cmbPPrat1 = typingCombo(reversal, "CmbPPrat1");
    pair->addWidget(label(reversal, "Label10", QStringLiteral("Du")));
    pair->addWidget(m_txtDate3);
    pair->addWidget(label(reversal, "Label11", QStringLiteral("au")));
    pair->addWidget(m_txtDate4);
    pair->addSpacing(16);
    pair->addWidget(label(reversal, "Label6", QStringLiteral("Praticien ayant effectué l'acte ")));
    pair->addWidget(m_cmbPPrat2, 1);
    pair->addSpacing(8);
    pair->addWidget(label(reversal, "Label5", QStringLiteral("Pour ")));
    pair->addWidget(m_cmbPPrat1, 1);
    rv->addLayout(pair);

    auto* frames = new QHBoxLayout;
    rv->addLayout(frames, 1);

    auto* owedFrame = new QGroupBox(QStringLiteral("Reversements"), reversal);
    owedFrame->setObjectName(QStringLiteral("FrameDoit"));
    auto* og = new QGridLayout(owedFrame);
    m_cmdDoit = button(owedFrame, "CmdDoit", QStringLiteral("Doit"));
    m_cmdDoit->setMinimumWidth(180);
    m_label9 = label(owedFrame, "Label9", QString());
    m_label8 = label(owedFrame, "Label8", QString());
    m_label7 = label(owedFrame, "label7", QString());
    m_lblDejaVerse = label(owedFrame, "LblDejaVerse", QString());
    m_lblDoit = label(owedFrame, "LblDoit", QString());
    m_lblDoitF = label(owedFrame, "LblDoitF", QString());
    m_lblDoit->setFont(bold(m_lblDoit->font()));
    for (QLabel* l : {m_label9, m_label7})
        l->setWordWrap(true);
    for (QLabel* l : {m_label8, m_lblDejaVerse, m_lblDoit, m_lblDoitF}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000000,0000 €")));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    og->addWidget(m_label9, 0, 0);
    og->addWidget(m_label8, 0, 1);
    og->addWidget(m_label7, 1, 0);
    og->addWidget(m_lblDejaVerse, 1, 1);
    og->addWidget(m_cmdDoit, 2, 0);
    og->addWidget(m_lblDoit, 2, 1);
    og->addWidget(m_lblDoitF, 3, 1);
    og->setColumnStretch(0, 1);
    og->setRowStretch(4, 1);
    frames->addWidget(owedFrame, 4);

    auto* ratesFrame = new QGroupBox(QStringLiteral("Taux des reversements"), reversal);
    ratesFrame->setObjectName(QStringLiteral("FrameTaux"));
    auto* tg = new QGridLayout(ratesFrame);
    m_txtTauxClin = named<QLineEdit>(ratesFrame, "TxtTauxClin");
    m_txtTauxPrat = named<QLineEdit>(ratesFrame, "TxtTauxPrat");
    for (QLineEdit* e : {m_txtTauxClin, m_txtTauxPrat}) {
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000,00")) + 16);
        // The rates file keeps each rate between double quotes.
        AmountKeyFilter::install(e, AmountKeyFilter::Mode::NoQuote);
    }
    auto* cmdModif = button(ratesFrame, "CmdModif", QStringLiteral("Enregistrer les taux de reversement"));
    tg->addWidget(label(ratesFrame, "Label15", QStringLiteral("Taux de reversement à la clinique")), 0, 0);
    tg->addWidget(m_txtTauxClin, 0, 1);
    tg->addWidget(label(ratesFrame, "Label16", QStringLiteral("Taux de reversement entre praticiens")), 1, 0);
    tg->addWidget(m_txtTauxPrat, 1, 1);
    tg->addWidget(cmdModif, 2, 0, 1, 2);
    tg->setRowStretch(3, 1);
    frames->addWidget(ratesFrame, 2);

    auto* payFrame = new QGroupBox(QStringLiteral("Somme reversée ce jour"), reversal);
    payFrame->setObjectName(QStringLiteral("FrameSommeRev"));
    auto* pg = new QGridLayout(payFrame);
    m_label12 = label(payFrame, "Label12", QString());
    m_label12->setWordWrap(true);
    // Captions built from practitioners' names show the names as typed, never as markup.
    for (QLabel* l : {m_label9, m_label7, m_label12})
        l->setTextFormat(Qt::PlainText);
    m_label12->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label12->setMinimumHeight(m_label12->fontMetrics().lineSpacing() * 3);
    m_txtDateRev = dateBox(payFrame, "TxtDateRev", QString());
    m_txtSommeRev = named<QLineEdit>(payFrame, "TxtSommeRev");
    m_txtSommeRev->setFixedWidth(m_txtSommeRev->fontMetrics().horizontalAdvance(QStringLiteral("0000000,00")) + 16);
    AmountKeyFilter::install(m_txtSommeRev);
    m_lblSommeRev = label(payFrame, "LblSommeRev", QString());
    auto* cmdRev = button(payFrame, "CmdRev", QStringLiteral("Enregistrer"));
    pg->addWidget(m_label12, 0, 0, 1, 4);
    pg->addWidget(label(payFrame, "Label14", QStringLiteral("Date")), 1, 0);
    pg->addWidget(m_txtDateRev, 1, 1, 1, 2);
    pg->addWidget(m_txtSommeRev, 2, 1);
    pg->addWidget(label(payFrame, "Label18", QStringLiteral("€")), 2, 2);
    pg->addWidget(m_lblSommeRev, 2, 3);
    pg->addWidget(cmdRev, 3, 1, 1, 3);
    pg->setColumnStretch(3, 1);
    pg->setRowStretch(4, 1);
    frames->addWidget(payFrame, 2);
    root->addWidget(reversal, 2);

    m_label13 = label(this, "Label13", QString());
    m_label13->setWordWrap(true);
    root->addWidget(m_label13);

    connect(command2, &QPushButton::clicked, this, [this] { runListing(Listing::Kind::Search); });
    connect(cmdImpayes, &QPushButton::clicked, this, [this] { runListing(Listing::Kind::Unpaid); });
    connect(cmdDE, &QPushButton::clicked, this, [this] { runListing(Listing::Kind::Excess); });
    connect(command3, &QPushButton::clicked, this, &SearchWindow::clearSearch);
    connect(cmdQuitte, &QPushButton::clicked, this, &SearchWindow::close);
    connect(m_list2, &QListWidget::itemDoubleClicked, this, &SearchWindow::openFoundAct);
    connect(command1, &QPushButton::clicked, this, [this] { printList(false); });
    connect(imprime, &QAction::triggered, this, [this] { printList(true); });
    connect(m_cmbPPrat1, &QComboBox::currentTextChanged, this, &SearchWindow::practitionerChosen);
    connect(m_cmbPPrat2, &QComboBox::currentTextChanged, this, &SearchWindow::practitionerChosen);
    connect(m_cmdDoit, &QPushButton::clicked, this, &SearchWindow::computeOwed);
    connect(m_txtSommeRev, &QLineEdit::textChanged, this, &SearchWindow::sumTyped);
    connect(cmdRev, &QPushButton::clicked, this, &SearchWindow::recordPayment);
    connect(cmdModif, &QPushButton::clicked, this, &SearchWindow::saveRates);

    QSize size(1180, 860);
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableGeometry().size());
    resize(size.expandedTo(minimumSizeHint()));
}

void SearchWindow::load() {
    SharedStore& store = SharedStore::instance();
    store.setDatabasePath(Settings::databasePath());

    const RatesFile::Read rates = RatesFile::read(RatesFile::path());
    if (!rates.found) {
        Dialogs::inform(this, kNoRatesFile);
    } else {
        m_txtTauxClin->setText(rates.rates.clinic);
        m_txtTauxPrat->setText(rates.rates.practitioner);
    }

    m_txtDateRev->setText(frenchDate(QDate::currentDate()));

    // Not reported here: the lists stay empty, and a listing run later says what is wrong.
    store.openDatabase(store.databasePath());
    if (auto db = store.database())
        fillLists(db);

    m_label13->setText(kExplanation);
}

void SearchWindow::fillLists(const std::shared_ptr<Database>& db) {
    auto texts = [&](const QString& sql) {
        QStringList out;
        db->query(sql, [&](const Row& row) {
            out << row.text(QStringLiteral("TEXTE"));
            return true;
        });
        return out;
    };
    const QStringList practitioners =
        texts(QStringLiteral("SELECT*FROM MEMO WHERE NUMEROS = 1 ") + QStringLiteral("ORDER by TEXTE"));
    const QStringList acts =
        texts(QStringLiteral("SELECT*FROM MEMO WHERE NUMEROS = 2 ") + QStringLiteral("ORDER by TEXTE"));
    m_cmbPrat1->clear();
    m_cmbPrat2->clear();
    for (QComboBox* box : {m_cmbPrat1, m_cmbPrat2, m_cmbPPrat1, m_cmbPPrat2}) {
        const QSignalBlocker quiet(box);
        box->addItems(practitioners);
    }
    m_cmbActes->clear();
    m_cmbActes->addItems(acts);
    // Every box starts empty: the first name of a list is not a choice the user made.
    for (QComboBox* box : {m_cmbPrat1, m_cmbPrat2, m_cmbActes, m_cmbPPrat1, m_cmbPPrat2}) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
}

std::shared_ptr<Database> SearchWindow::database() {
    SharedStore& store = SharedStore::instance();
    if (auto db = store.database(); db && db->isOpen())
        return db;
    const Status s = store.openDatabase(store.databasePath());
    if (!s) {
        Dialogs::warn(this, QStringLiteral("La base de données n'a pas pu être ouverte.\n%1").arg(s.message));
        return nullptr;
    }
    return store.database();
}

void SearchWindow::showCountAndTotal(const QString& count, const QString& euros, const QString& francs) {
    m_label1->setText(count);
    m_lblTotalActes->setText(euros);
    m_lblTotalActesF->setText(francs);
}

void SearchWindow::runListing(Listing::Kind kind) {
    m_label4->setText(Listing::totalCaption(kind));
    const auto first = parseFrenchDate(m_txtDate1->text());
    const auto last = parseFrenchDate(m_txtDate2->text());
    if (!first || !last) {
        Dialogs::inform(this, kBadDate);
        return;
    }
    m_list1->clear();
    m_list2->clear();

    QString where = Listing::periodCondition(dayNumberOf(*first), dayNumberOf(*last));
    if (kind == Listing::Kind::Search)
        where += Listing::criteriaClauses(
            {m_cmbPrat1->currentText(), m_cmbPrat2->currentText(), m_cmbActes->currentText(), m_cmbNF->currentText()});
    const auto db = database();
    if (!db) {
        showCountAndTotal(QString(), QString(), QString());
        return;
    }

    // The lines are built from the found set itself, read once, so List1 and List2 stay in step.
    QStringList numbers;
    QStringList lines;
    ListingLines composer(kind);
    Status s = db->query(Listing::selection(kind, where), [&](const Row& row) {
        numbers << composer.number(row);
        lines << composer.line(row);
        return true;
    });
    if (!s) {
        showCountAndTotal(QString(), QString(), QString());
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(s.message));
        return;
    }
    if (numbers.isEmpty()) {
        showCountAndTotal(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"));
        return;
    }
    m_label1->setText(QString::number(numbers.size()));
    m_list1->addItems(numbers);

    QVariant sum;
    s = db->scalar(Listing::totalQuery(kind, where), &sum);
    if (!s) {
        m_lblTotalActes->clear();
        m_lblTotalActesF->clear();
        Dialogs::warn(this, QStringLiteral("Le total des actes trouvés n'a pas pu être calculé.\n%1").arg(s.message));
    } else if (const auto total = Listing::sumValue(sum)) {
        m_lblTotalActes->setText(total->toFrench() + QStringLiteral(" €"));
        m_lblTotalActesF->setText(francsCaption(*total));
    } else {
        m_lblTotalActes->setText(QStringLiteral("0"));
        m_lblTotalActesF->setText(QStringLiteral("0"));
    }

    // As at every listing, the shared database is opened afresh (the previous one stays on failure).
    SharedStore::instance().openDatabase(SharedStore::instance().databasePath());
    m_list2->addItems(lines);
}

void SearchWindow::clearSearch() {
    for (QComboBox* box : {m_cmbPrat1, m_cmbPrat2, m_cmbActes}) {
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
    showCountAndTotal(QString(), QString(), QString());
    m_list1->clear();
    m_list2->clear();
}

void SearchWindow::practitionerChosen() {
    const QString a = m_cmbPPrat2->currentText();
    const QString b = m_cmbPPrat1->currentText();
    m_label9->setText(QStringLiteral("Total des actes pratiqués par le ") + a + QStringLiteral(" pour le ") + b);
    m_label7->setText(QStringLiteral("Somme dèja reversée par le ") + a + QStringLiteral(" au ") + b);
    m_cmdDoit->setText(a + QStringLiteral(" doit au ") + b);
    m_label12->setText(QStringLiteral("Somme reversée ce jour") + kBreak + QStringLiteral("par le ") + a + kBreak +
                       QStringLiteral("au ") + b);
}

void SearchWindow::computeOwed() {
    const QString b = m_cmbPPrat1->currentText();
    const QString a = m_cmbPPrat2->currentText();
    const auto first = parseFrenchDate(m_txtDate3->text());
    const auto last = parseFrenchDate(m_txtDate4->text());
    if (!first || !last) {
        Dialogs::inform(this, kBadDate);
        return;
    }
    const auto clinicRate = Money::parse(m_txtTauxClin->text());
    const auto practitionerRate = Money::parse(m_txtTauxPrat->text());
    if (!clinicRate || !practitionerRate) {
        const bool clinic = !clinicRate;
        QLineEdit* box = clinic ? m_txtTauxClin : m_txtTauxPrat;
        Dialogs::warn(
            this, QStringLiteral("Le taux de reversement %1 « %2 » n'est pas un nombre. Saisissez un "
                                 "pourcentage (par exemple 10 ou 12,5) ; le montant dû n'a pas été calculé.")
                      .arg(clinic ? QStringLiteral("à la clinique") : QStringLiteral("entre praticiens"), box->text()));
        box->setFocus();
        box->selectAll();
        return;
    }
    const auto db = database();
    if (!db)
        return;
    const QString where = Reversal::periodCondition(dayNumberOf(*first), dayNumberOf(*last), b, a);
    QVariant valueSum, paidSum;
    Status s = db->scalar(QStringLiteral("SELECT SUM(PRIX) AS TOTAL From ACTES ") + where, &valueSum);
    if (s)
        s = db->scalar(QStringLiteral("SELECT SUM(REVERSE) AS TOTAL From ACTES ") + where, &paidSum);
    if (!s) {
        Dialogs::warn(this, QStringLiteral("Le montant dû n'a pas pu être calculé.\n%1").arg(s.message));
        return;
    }
    const auto value = Listing::sumValue(valueSum);
    const auto paid = Listing::sumValue(paidSum);
    m_label8->setText(value ? value->toFrench() + QStringLiteral(" €") : QStringLiteral("0"));
    m_lblDejaVerse->setText(paid ? paid->toFrench() + QStringLiteral(" €") : QStringLiteral("0"));
    const Reversal::OwedCaptions owed =
        Reversal::owedCaptions(value.value_or(Money()), paid.value_or(Money()), *clinicRate, *practitionerRate);
    m_lblDoit->setText(owed.euros);
    m_lblDoitF->setText(owed.francs);
}

void SearchWindow::sumTyped(const QString& text) {
    if (const auto sum = Money::parse(text))
        m_lblSommeRev->setText(francsCaption(*sum));
}

void SearchWindow::recordPayment() {
    const auto day = parseFrenchDate(m_txtDateRev->text());
    const QString sumText = m_txtSommeRev->text();
    if (!day || sumText.isEmpty()) {
        Dialogs::inform(this, kNoAmount);
        return;
    }
    const auto sum = Money::parse(sumText);
    if (!sum) {
        Dialogs::warn(this, QStringLiteral("La somme reversée « %1 » n'est pas un montant valide. Corrigez-la ; rien "
                                           "n'a été enregistré.")
                                .arg(sumText));
        m_txtSommeRev->setFocus();
        m_txtSommeRev->selectAll();
        return;
    }
    const QString b = m_cmbPPrat1->currentText();
    const QString a = m_cmbPPrat2->currentText();
    // The sum lands on the latest act of the pair: with a name left empty or a pattern, that act
    // would belong to some other pair of practitioners.
    if (!Reversal::isOnePractitioner(a) || !Reversal::isOnePractitioner(b)) {
        Dialogs::warn(this, QStringLiteral("Choisissez les deux praticiens, sans caractère * ? # ou [ : le praticien "
                                           "ayant effectué l'acte et celui pour qui il a été effectué. La somme "
                                           "reversée est enregistrée sur leur dernier acte. Rien n'a été enregistré."));
        return;
    }
    const auto db = database();
    if (!db)
        return;
    auto failed = [this](const Status& s) {
        Dialogs::warn(this, QStringLiteral("La somme reversée n'a pas été enregistrée.\n%1").arg(s.message));
    };
    Status s;
    auto acts = Cursor::open(db, Reversal::pairActsQuery(b, a), &s);
    if (!acts) {
        failed(s);
        return;
    }
    if (!acts->hasCurrent()) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    Row latest;
    s = acts->moveLast();
    if (s)
        s = acts->current(&latest);
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    if (!s) {
        failed(s);
        return;
    }
    const auto number = latest.integer(QStringLiteral("NUMINT"));
    if (!Dialogs::ask(this, kConfirmReversal))
        return;
    if (!number) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    // Added to what the act already holds, in one statement: an earlier payment recorded on the
    // same act stays counted as paid.
    int changes = 0;
    s = db->executeRaw(
        QStringLiteral("UPDATE ACTES SET DateRev = ?, REVERSE = ifnull(REVERSE, 0) + ? WHERE NUMINT = ?"),
        {QVariant::fromValue<qint64>(dayNumberOf(*day)), QVariant::fromValue<qint64>(sum->units()),
         QVariant::fromValue<qint64>(*number)},
        &changes);
    if (!s) {
        failed(s);
        return;
    }
    if (changes == 0) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    close();
}

void SearchWindow::saveRates() {
    QString error;
    if (!RatesFile::write(RatesFile::path(), {m_txtTauxClin->text(), m_txtTauxPrat->text()}, &error)) {
        Dialogs::warn(this,
                      QStringLiteral("Les taux de reversement n'ont pas été enregistrés dans le fichier %1 : %2.\n"
                                     "Les taux saisis restent affichés ; corrigez le problème puis recommencez.")
                          .arg(RatesFile::path(), error));
        return;
    }
    close();
}

void SearchWindow::openFoundAct(QListWidgetItem* item) {
    const int line = item ? m_list2->row(item) : -1;
    if (line < 0 || line >= m_list1->count())
        return;
    bool numeric = false;
    const qint64 number = m_list1->item(line)->text().toLongLong(&numeric);
    if (!numeric)
        return;
    std::vector<Row> rows;
    Status s;
    if (const auto db = database())
        s = db->queryRows(QStringLiteral("SELECT*FROM ACTES WHERE NUMINT =") + QString::number(number), &rows, 1);
    else
        return;

    MainWindow* main = MainWindow::instance();
    close();
    if (!main)
        return;
    main->show();
    main->raise();
    main->activateWindow();
    if (!s) {
        Dialogs::warn(main, QStringLiteral("L'acte n° %1 n'a pas pu être lu.\n%2").arg(number).arg(s.message));
        return;
    }
    if (rows.empty()) {
        Dialogs::inform(
            main, QStringLiteral("L'acte n° %1 n'existe plus : il a été supprimé depuis la recherche.").arg(number));
        return;
    }
    fillMainWindow(main, rows.front());
}

void SearchWindow::fillMainWindow(MainWindow* main, const Row& act) {
    auto box = [main](const char* name, const QString& text) {
        if (auto* e = main->findChild<QLineEdit*>(QString::fromLatin1(name)))
            e->setText(text);
    };
    auto caption = [main](const char* name, const QString& text) {
        if (auto* l = main->findChild<QLabel*>(QString::fromLatin1(name)))
            l->setText(text);
    };
    const QString date = storedDateText(act.value(QStringLiteral("Date")));
    caption("LblNumero", act.text(QStringLiteral("NUMINT")));
    box("TxtNom", act.text(QStringLiteral("Nom")));
    box("TxtPrenom", act.text(QStringLiteral("Prenom")));
    box("TxtDate", date);
    box("TxtActe", act.text(QStringLiteral("Acte")));
    box("TxtCotation", act.text(QStringLiteral("CCAM1")));
    box("TxtOp", act.text(QStringLiteral("NF")));
    if (auto* secondary = main->findChild<QListWidget*>(QStringLiteral("LstActes"))) {
        for (int i = 0; i < 5; ++i) {
            const QString line = act.text(QStringLiteral("CCAM%1").arg(i + 2));
            if (i < secondary->count())
                secondary->item(i)->setText(line);
            else
                secondary->addItem(line);
        }
    }
    box("TxtPrat1", act.text(QStringLiteral("MEDSUIT")));
    box("TxtPrat2", act.text(QStringLiteral("MEDACTE")));
    const auto prix = act.money(QStringLiteral("PRIX"));
    const auto de = act.money(QStringLiteral("DE"));
    box("TxtEuros", frenchAmountText(prix));
    box("TxtDE", frenchAmountText(de));
    box("TxtPSecu", frenchAmountText(act.money(QStringLiteral("PAYESECU"))));
    box("TxtPCompl", frenchAmountText(act.money(QStringLiteral("PAYECOMPLE"))));
    box("TxtPDE", frenchAmountText(act.money(QStringLiteral("PAYEDE"))));
    caption("Label12", QStringLiteral("Acte pour M. ") + act.text(QStringLiteral("Nom")) + u' ' +
                           act.text(QStringLiteral("Prenom")) + QStringLiteral(" du ") + date);
    // The act's total as the main window shows it: value plus excess fee, the francs following.
    main->setTotalCaption((prix.value_or(Money()) + de.value_or(Money())).toFrench() + QStringLiteral(" €"));
}

std::vector<ListPrint::Line> SearchWindow::composedPrint() const {
    QStringList lines;
    lines.reserve(m_list2->count());
    for (int i = 0; i < m_list2->count(); ++i)
        lines << m_list2->item(i)->text();
    const ListPrint::Heading heading{m_cmbPrat2->currentText(), m_cmbPrat1->currentText(), m_cmbActes->currentText(),
                                     m_txtDate1->text(), m_txtDate2->text()};
    return ListPrint::compose(heading, lines);
}

void SearchWindow::printList(bool choosePrinter) {
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
