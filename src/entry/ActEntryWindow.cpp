#include "entry/ActEntryWindow.h"

#include "common/AppPaths.h"
#include "common/DayNumber.h"
#include "reference/TariffEditor.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "widgets/TextGuard.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Controls.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/ListChoice.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace obs {

using controls::button;
using controls::label;
using controls::named;
using controls::option;

namespace {

const QString kDefaultPractitionerMissing = QStringLiteral("Définir le médecin par défaut");
const QString kBadDate = QStringLiteral("Veuillez Saisir correctement la date");
const QString kTariffFileMissing = QStringLiteral("Le Fichier Tarifs est introuvable ou non chargé.");

QLabel* sign(QWidget* parent, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// A combo box of the screen: editable, typed texts are never added to its list.
QComboBox* combo(QWidget* parent, const char* name, int contentsLength) {
    auto* c = named<QComboBox>(parent, name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(contentsLength);
    c->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return c;
}

// Fills a combo box and leaves it empty: Qt would show its first item.
void fill(QComboBox* c, const QStringList& items) {
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setEditText(QString());
    // The open list shows whole labels even when the box is narrower.
    c->view()->setMinimumWidth(c->view()->sizeHintForColumn(0) + 2 * c->view()->frameWidth() + 24);
}

void empty(QComboBox* c) {
    c->setCurrentIndex(-1);
    c->setEditText(QString());
}

// Width of a box sized for a text of that shape.
int boxWidth(const QWidget* w, const QString& sample) {
    return w->fontMetrics().horizontalAdvance(sample) + 16;
}

// Runs the reaction when the option becomes selected, and again when the user picks it while it
// already is (a mutual insurer picked again after the act was chosen looks the excess up again).
void onChosen(QAbstractButton* b, const std::function<void()>& react) {
    auto wasChecked = std::make_shared<bool>(false);
    QObject::connect(b, &QAbstractButton::pressed, b, [b, wasChecked] { *wasChecked = b->isChecked(); });
    QObject::connect(b, &QAbstractButton::toggled, b, [react](bool on) {
        if (on)
            react();
    });
    QObject::connect(b, &QAbstractButton::clicked, b, [react, wasChecked] {
        if (*wasChecked) {
            *wasChecked = false;
            react();
        }
    });
}

} // namespace

ActEntryWindow::ActEntryWindow(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent)
    : Screen(QStringLiteral("Form2"), parent), m_database(database), m_browsed(browsed) {
    setWindowTitle(QStringLiteral("Saisie d'un acte"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    refuseControlCharacters(this);
    setTabOrder();
    connectReactions();
    m_loaded = load();
}

void ActEntryWindow::buildUi() {
    auto* root = new QGridLayout(this);
    root->setHorizontalSpacing(12);
    root->setVerticalSpacing(8);

    // Heading: picture and help text.
    auto* image = named<QLabel>(this, "Image1");
    image->setPixmap(
        QPixmap(QStringLiteral(":/obsledger.png")).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    image->setFixedSize(48, 48);
    m_label20 = label(this, "Label20", QString());
    m_label20->setWordWrap(true);
    m_label20->setMinimumHeight(m_label20->fontMetrics().lineSpacing() * 2);
    auto* head = new QHBoxLayout;
    head->addWidget(image, 0, Qt::AlignTop);
    head->addWidget(m_label20, 1);
    root->addLayout(head, 0, 0, 1, 2);

    // Left column: the patient, the practitioners and the date.
    auto* left = new QVBoxLayout;
    auto* patient = new QGroupBox(this);
    auto* pg = new QGridLayout(patient);
    m_txtNom = named<QLineEdit>(patient, "TxtNom");
    m_txtPrenom = named<QLineEdit>(patient, "TxtPrenom");
    m_cmbPrat1 = combo(patient, "CmbPrat1", 22);
    auto* label15 = label(patient, "Label15", QStringLiteral("Nom"));
    auto* label16 = label(patient, "Label16", QStringLiteral("Prénom"));
    auto* label32 = label(patient, "Label32", QStringLiteral("Praticien assurant le suivi"));
    pg->addWidget(label15, 0, 0);
    pg->addWidget(m_txtNom, 0, 1);
    pg->addWidget(label16, 1, 0);
    pg->addWidget(m_txtPrenom, 1, 1);
    pg->addWidget(label32, 2, 0);
    pg->addWidget(m_cmbPrat1, 2, 1);
    pg->setColumnStretch(1, 1);
    left->addWidget(patient);

    auto* frame9 = named<QGroupBox>(this, "Frame9");
    auto* f9 = new QGridLayout(frame9);
    auto* label34 = label(frame9, "Label34", QStringLiteral("Date de l'acte"));
    auto* label33 = label(frame9, "Label33", QStringLiteral("Praticien ayant éffectué l'acte"));
    m_txtDate = named<QLineEdit>(frame9, "TxtDate");
    m_txtDate->setFixedWidth(boxWidth(m_txtDate, QStringLiteral("00/00/00000")));
    m_cmbPrat2 = combo(frame9, "CmbPrat2", 22);
    f9->addWidget(label34, 0, 0);
    f9->addWidget(m_txtDate, 0, 1);
    f9->addWidget(label(frame9, "Label18", QStringLiteral("JJ/MM/AAAA")), 0, 2);
    f9->addWidget(label33, 1, 0);
    f9->addWidget(m_cmbPrat2, 1, 1, 1, 2);
    f9->setColumnStretch(2, 1);
    left->addWidget(frame9);

    // Both groups align their boxes on one column.
    int labelWidth = 0;
    for (QLabel* l : {label15, label16, label32, label34, label33})
        labelWidth = std::max(labelWidth, l->sizeHint().width());
    pg->setColumnMinimumWidth(0, labelWidth);
    f9->setColumnMinimumWidth(0, labelWidth);

    m_monthView = named<QCalendarWidget>(this, "MonthView1");
    m_monthView->setGridVisible(true);
    m_monthView->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_monthView->setLocale(QLocale(QLocale::French, QLocale::France));
    m_monthView->setFirstDayOfWeek(Qt::Monday);
    m_monthView->setMinimumSize(m_monthView->sizeHint());
    left->addWidget(m_monthView, 1);
    root->addLayout(left, 1, 0);

    // Right column: the act type, the acts, the supplement, the fee and the mutual insurer.
    auto* right = new QVBoxLayout;
    auto* frame7 = named<QGroupBox>(this, "Frame7");
    auto* f7 = new QVBoxLayout(frame7);
    m_optAcct = option(frame7, "OptAcct", QStringLiteral("Accouchements"));
    m_optChir = option(frame7, "OptChir", QStringLiteral("Chirurgie"));
    m_optAcct->setChecked(true);
    auto* typeGroup = new QButtonGroup(this);
    typeGroup->addButton(m_optAcct);
    typeGroup->addButton(m_optChir);
    auto* types = new QHBoxLayout;
    types->addWidget(m_optAcct);
    types->addSpacing(24);
    types->addWidget(m_optChir);
    types->addStretch(1);
    f7->addLayout(types);

    const int codeWidth = boxWidth(this, QStringLiteral("JQGDM0070"));
    auto actFrame = [&](const char* name, const QString& title, const char* l1, const char* c1, const char* t1,
                        const char* l2, const char* c2, const char* t2, QComboBox** cmb1, QLineEdit** txt1,
                        QComboBox** cmb2, QLineEdit** txt2) {
        auto* frame = named<QGroupBox>(frame7, name);
        frame->setTitle(title);
        auto* g = new QGridLayout(frame);
        *cmb1 = combo(frame, c1, 34);
        *cmb2 = combo(frame, c2, 34);
        *txt1 = named<QLineEdit>(frame, t1);
        *txt2 = named<QLineEdit>(frame, t2);
        (*txt1)->setFixedWidth(codeWidth);
        (*txt2)->setFixedWidth(codeWidth);
        g->addWidget(label(frame, l1, QStringLiteral("Acte principal")), 0, 0);
        g->addWidget(*cmb1, 0, 1);
        g->addWidget(*txt1, 0, 2);
        g->addWidget(label(frame, l2, QStringLiteral("Actes secondaires")), 1, 0);
        g->addWidget(*cmb2, 1, 1);
        g->addWidget(*txt2, 1, 2);
        g->setColumnStretch(1, 1);
        f7->addWidget(frame);
        return frame;
    };
    m_frameAcct = actFrame("FrameAcct", QStringLiteral("Actes d'accouchements"), "Label29", "CmbActesAcct1",
                           "TxtCCAMA1", "Label28", "CmbActesAcct2", "TxtCCAMA2", &m_cmbActesAcct1, &m_txtCCAMA1,
                           &m_cmbActesAcct2, &m_txtCCAMA2);
    m_frameChir =
        actFrame("FrameChir", QStringLiteral("Actes de chirurgie"), "Label17", "CmbActesChir1", "TxtCCAMC1", "Label27",
                 "CmbActesChir2", "TxtCCAMC2", &m_cmbActesChir1, &m_txtCCAMC1, &m_cmbActesChir2, &m_txtCCAMC2);
    m_frameChir->hide();

    auto* frame1 = named<QGroupBox>(frame7, "Frame1");
    auto* f1 = new QHBoxLayout(frame1);
    m_optNo = option(frame1, "OptNo", QStringLiteral("Normal"));
    m_optNuit = option(frame1, "OptNuit", QStringLiteral("Nuit"));
    m_optFerie = option(frame1, "OptFerie", QStringLiteral("Férié"));
    m_optNo->setChecked(true);
    auto* supplementGroup = new QButtonGroup(this);
    for (QRadioButton* o : {m_optNo, m_optNuit, m_optFerie})
        supplementGroup->addButton(o);
    m_lblNuitA = label(frame1, "LblNuitA", QStringLiteral("25.15 €"));
    m_lblFerieA = label(frame1, "LblFerieA", QStringLiteral("19.06 €"));
    f1->addWidget(m_optNo);
    f1->addSpacing(24);
    f1->addWidget(m_optNuit);
    f1->addWidget(m_lblNuitA);
    f1->addSpacing(24);
    f1->addWidget(m_optFerie);
    f1->addWidget(m_lblFerieA);
    f1->addStretch(1);
    f7->addWidget(frame1);
    right->addWidget(frame7);

    auto* frame8 = named<QGroupBox>(this, "Frame8");
    frame8->setTitle(QStringLiteral("ACTES"));
    auto* f8 = new QGridLayout(frame8);
    m_txtCotation = named<QLineEdit>(frame8, "TxtCotation");
    m_txtCotation->setToolTip(QStringLiteral("Acte principal"));
    m_txtCCAMAC = named<QLineEdit>(frame8, "TxtCCAMAC");
    m_txtCCAMAC->setFixedWidth(codeWidth);
    m_txtCCAMAC->setToolTip(QStringLiteral("Code CCAM de l'acte principal"));
    m_lstActes = named<QListWidget>(frame8, "LstActes");
    // Room for the principal act and the five secondary acts that are stored, and one more.
    m_lstActes->setFixedHeight(m_lstActes->fontMetrics().lineSpacing() * 7 + 2 * m_lstActes->frameWidth() + 8);
    m_lstActes->setMinimumWidth(m_lstActes->fontMetrics().averageCharWidth() * 66);
    m_txtEuros = named<QLineEdit>(frame8, "TxtEuros");
    m_txtEuros->setText(QStringLiteral("0"));
    m_txtEuros->setToolTip(QStringLiteral("Valeur des actes"));
    m_txtOp = named<QLineEdit>(frame8, "TxtOp");
    m_txtOp->setToolTip(QStringLiteral("N : nuit, F : férié"));
    m_txtOpE = named<QLineEdit>(frame8, "TxtOpE");
    m_txtOpE->setText(QStringLiteral("0"));
    m_txtOpE->setToolTip(QStringLiteral("Supplément nuit ou férié"));
    m_txtEurosT = named<QLineEdit>(frame8, "TxtEurosT");
    m_txtEurosT->setToolTip(QStringLiteral("Total : actes et supplément"));
    QFont bold = m_txtEurosT->font();
    bold.setBold(true);
    m_txtEurosT->setFont(bold);
    m_lblFrancs = label(frame8, "LblFrancs", QString());
    const int amountWidth = boxWidth(this, QStringLiteral("000000,00"));
    for (QLineEdit* e : {m_txtEuros, m_txtOpE, m_txtEurosT})
        e->setFixedWidth(amountWidth);
    m_txtEurosT->setFixedWidth(boxWidth(m_txtEurosT, QStringLiteral("000000,00")));
    m_txtOp->setFixedWidth(boxWidth(m_txtOp, QStringLiteral("WW")));
    m_lblFrancs->setMinimumWidth(boxWidth(m_lblFrancs, QStringLiteral("0000000,00 F")));

    auto* amounts = new QHBoxLayout;
    amounts->addWidget(m_txtEuros);
    amounts->addWidget(sign(frame8, QStringLiteral("€")));
    amounts->addSpacing(8);
    amounts->addWidget(sign(frame8, QStringLiteral("+")));
    amounts->addSpacing(8);
    amounts->addWidget(m_txtOp);
    amounts->addWidget(m_txtOpE);
    amounts->addWidget(sign(frame8, QStringLiteral("€")));
    amounts->addSpacing(8);
    amounts->addWidget(sign(frame8, QStringLiteral("=")));
    amounts->addSpacing(8);
    amounts->addWidget(m_txtEurosT);
    amounts->addWidget(sign(frame8, QStringLiteral("€")));
    amounts->addSpacing(12);
    amounts->addWidget(m_lblFrancs);
    amounts->addStretch(1);

    m_cmbMut = named<QComboBox>(frame8, "CmbMut");
    m_cmbMut->hide();

    auto* frame6 = named<QGroupBox>(frame8, "Frame6");
    frame6->setTitle(QStringLiteral("Mutuelles"));
    auto* f6 = new QGridLayout(frame6);
    auto* mutualGroup = new QButtonGroup(this);
    for (int k = 0; k < 7; ++k) {
        const QByteArray name = "OptMut" + QByteArray::number(k);
        m_optMut[k] = option(frame6, name.constData(),
                             k == 0 ? QStringLiteral("Pas de Mutuelle") : QStringLiteral("Mutuelle%1").arg(k));
        mutualGroup->addButton(m_optMut[k]);
        f6->addWidget(m_optMut[k], k / 4, k % 4);
    }
    m_optMut[0]->setChecked(true);
    m_txtDE = named<QLineEdit>(frame6, "TxtDE");
    m_txtDE->setText(QStringLiteral("0"));
    m_txtDE->setFixedWidth(amountWidth);
    m_txtDE->setToolTip(QStringLiteral("Dépassement d'honoraires"));
    m_lblDEF = label(frame6, "LblDEF", QString());
    m_lblDEF->setMinimumWidth(boxWidth(m_lblDEF, QStringLiteral("0000000,00 F")));
    auto* excess = new QHBoxLayout;
    excess->addWidget(m_txtDE);
    excess->addWidget(label(frame6, "Label19", QStringLiteral("€")));
    excess->addSpacing(12);
    excess->addWidget(m_lblDEF);
    excess->addStretch(1);
    f6->addLayout(excess, 1, 3);
    for (int c = 0; c < 4; ++c)
        f6->setColumnStretch(c, 1);

    f8->addWidget(m_txtCotation, 0, 0);
    f8->addWidget(m_txtCCAMAC, 0, 1);
    f8->addWidget(m_lstActes, 1, 0, 1, 2);
    f8->addLayout(amounts, 2, 0, 1, 2);
    f8->addWidget(frame6, 3, 0, 1, 2);
    f8->setColumnStretch(0, 1);
    right->addWidget(frame8);
    right->addStretch(1);
    root->addLayout(right, 1, 1);

    // Buttons.
    m_cmdEnreg = button(this, "Cmdenreg", QStringLiteral("&Enregistrer la saisie"));
    m_cmdQuitte = button(this, "CmdQuitte", QStringLiteral("&Fermer Quitter"));
    m_cmdMaJour = button(this, "CmdMaJour", QStringLiteral("&Mise à jour des cotations"));
    QFont bf = m_cmdEnreg->font();
    bf.setBold(true);
    m_cmdEnreg->setFont(bf);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdMaJour);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdEnreg);
    buttons->addSpacing(8);
    buttons->addWidget(m_cmdQuitte);
    for (QPushButton* b : {m_cmdEnreg, m_cmdQuitte, m_cmdMaJour})
        b->setMinimumWidth(b->sizeHint().width() + 24);
    root->addLayout(buttons, 2, 0, 1, 2);
    root->setColumnStretch(1, 1);
    root->setRowStretch(1, 1);

    AmountKeyFilter::install(m_txtEuros);
    AmountKeyFilter::install(m_txtDE);
    m_txtNom->installEventFilter(this);
    m_txtDate->installEventFilter(this);
}

void ActEntryWindow::setTabOrder() {
    const QList<QWidget*> chain = {
        m_txtNom,        m_txtPrenom,   m_cmbPrat1,  m_txtDate,   m_cmbActesAcct1, m_cmbActesAcct2, m_cmbActesChir1,
        m_cmbActesChir2, m_optFerie,    m_optNuit,   m_cmdEnreg,  m_cmdQuitte,     m_cmdMaJour,     m_cmbPrat2,
        m_monthView,     m_optAcct,     m_optChir,   m_txtCCAMA1, m_txtCCAMA2,     m_txtCCAMC1,     m_txtCCAMC2,
        m_optNo,         m_txtCotation, m_txtCCAMAC, m_lstActes,  m_txtEuros,      m_txtOp,         m_txtOpE,
        m_txtEurosT,     m_optMut[0],   m_optMut[1], m_optMut[2], m_optMut[3],     m_optMut[4],     m_optMut[5],
        m_optMut[6],     m_txtDE};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void ActEntryWindow::connectReactions() {
    connect(m_monthView, &QCalendarWidget::clicked, this, [this](QDate d) { m_txtDate->setText(frenchDate(d)); });
    connect(m_monthView, &QCalendarWidget::activated, this, [this](QDate d) { m_txtDate->setText(frenchDate(d)); });

    connect(m_optAcct, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseActType(ActKind::Delivery);
    });
    connect(m_optChir, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseActType(ActKind::Surgery);
    });

    connect(ListChoice::attach(m_cmbActesAcct1), &ListChoice::chosen, this,
            [this](const QString& t) { principalChosen(ActKind::Delivery, t); });
    connect(ListChoice::attach(m_cmbActesAcct2), &ListChoice::chosen, this,
            [this](const QString& t) { secondaryChosen(ActKind::Delivery, t); });
    connect(ListChoice::attach(m_cmbActesChir1), &ListChoice::chosen, this,
            [this](const QString& t) { principalChosen(ActKind::Surgery, t); });
    connect(ListChoice::attach(m_cmbActesChir2), &ListChoice::chosen, this,
            [this](const QString& t) { secondaryChosen(ActKind::Surgery, t); });

    for (QRadioButton* o : {m_optNo, m_optNuit, m_optFerie})
        onChosen(o, [this, o] {
            if (o->isChecked())
                supplementChosen();
        });
    for (int k = 0; k < 7; ++k)
        onChosen(m_optMut[k], [this, k] { mutualChosen(k); });

    connect(m_txtEuros, &QLineEdit::textChanged, this, &ActEntryWindow::recomputeTotal);
    connect(m_txtOpE, &QLineEdit::textChanged, this, &ActEntryWindow::recomputeTotal);
    connect(m_txtEurosT, &QLineEdit::textChanged, this, &ActEntryWindow::totalChanged);
    connect(m_txtDE, &QLineEdit::textChanged, this, &ActEntryWindow::excessChanged);

    connect(m_cmdEnreg, &QPushButton::clicked, this, &ActEntryWindow::save);
    connect(m_cmdQuitte, &QPushButton::clicked, this, &ActEntryWindow::quit);
    connect(m_cmdMaJour, &QPushButton::clicked, this, [] { TariffEditor::open(); });
}

// ---- Loading ----

bool ActEntryWindow::load() {
    m_monthView->setSelectedDate(QDate::currentDate());
    loadSupplements();

    if (openDatabaseAtLoad(this, m_database, false, false) != OpenOutcome::Opened) {
        abandonLoad(QString()); // the opener has told the user why
        return false;
    }

    QString error;
    QStringList texts;
    QString defaultPractitioner = kDefaultPractitionerMissing;
    {
        Status s = m_browsed.open(*m_database.store(),
                                  BrowseQuery::reference(ReferenceList::DefaultPractitioner, ReferenceOrder::ByLabel));
        if (!s) {
            abandonLoad(s.message);
            return false;
        }
        BrowsedRecord record;
        if (m_browsed.cursor()->hasCurrent() && m_browsed.cursor()->current(&record))
            if (const auto* entry = std::get_if<ReferenceEntry>(&record))
                defaultPractitioner = entry->label;
    }

    if (!readList(ReferenceList::Practitioners, ReferenceOrder::ByLabel, &texts, &error)) {
        abandonLoad(error);
        return false;
    }
    fill(m_cmbPrat1, texts);
    fill(m_cmbPrat2, texts);
    m_cmbPrat1->setEditText(defaultPractitioner);

    const struct {
        ReferenceList list;
        ReferenceOrder order;
        QComboBox* box;
    } actLists[] = {{ReferenceList::DeliveryActs, ReferenceOrder::ByCatalogue, m_cmbActesAcct1},
                    {ReferenceList::DeliveryActs, ReferenceOrder::ByCatalogue, m_cmbActesAcct2},
                    {ReferenceList::SurgicalActs, ReferenceOrder::ByLabel, m_cmbActesChir1},
                    {ReferenceList::SurgicalActs, ReferenceOrder::ByLabel, m_cmbActesChir2}};
    for (const auto& [list, order, box] : actLists) {
        if (!readList(list, order, &texts, &error)) {
            abandonLoad(error);
            return false;
        }
        fill(box, texts);
    }

    if (!readList(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel, &texts, &error)) {
        abandonLoad(error);
        return false;
    }
    m_cmbMut->clear();
    m_cmbMut->addItems(texts);
    for (int k = 1; k <= 6; ++k) {
        QString name = k - 1 < m_cmbMut->count() ? m_cmbMut->itemText(k - 1) : QString();
        // An insurer's name is shown as stored: an ampersand in it ("AG2R & Co") is no keyboard shortcut.
        m_optMut[k]->setText(name.replace(u'&', QStringLiteral("&&")));
    }

    m_label20->setText(QStringLiteral(" Saisissez NOM et Prénom de la patiente, le nom du praticien assurant le suivi. "
                                      "Puis la date de l'acte (par clic sur le calendrier), ") +
                       QStringLiteral(" puis le médecin ayant éffectué l'acte. Cocher accouchement ou chirurgie et "
                                      "finir de remplir.") +
                       QStringLiteral(" ENREGISTRER la saisie."));

    // The main window finds every act record in the shared cursor when this screen closes.
    Status s = m_database.reopen();
    if (s)
        s = m_browsed.open(*m_database.store(), BrowseQuery::allActs());
    if (!s) {
        abandonLoad(s.message);
        return false;
    }
    return true;
}

void ActEntryWindow::loadSupplements() {
    m_supplements = FeeComputation::readSupplements(applicationFile(QStringLiteral("tarifs.cmt")));
    if (m_supplements.groupsRead > 0) {
        m_lblFerieA->setText(FeeComputation::currencyCaption(m_supplements.holiday));
        m_lblNuitA->setText(FeeComputation::currencyCaption(m_supplements.night));
    }
    // A file that yields no supplement leaves Nuit and Férié at 0 while their captions show the usual
    // amounts: the user must know, whether the file is missing or damaged.
    if (!m_supplements.found || (m_supplements.groupsRead == 0 && m_supplements.failed))
        Dialogs::inform(this, kTariffFileMissing);
}

bool ActEntryWindow::readList(ReferenceList list, ReferenceOrder order, QStringList* texts, QString* error) {
    texts->clear();
    // Each list goes through the shared result, which the record buttons follow until the load ends.
    Status s = m_browsed.open(*m_database.store(), BrowseQuery::reference(list, order));
    if (s)
        s = m_database.store()->references().labels(list, order, texts);
    if (!s)
        *error = s.message;
    return s.ok();
}

Status ActEntryWindow::findEntry(const BrowseQuery& query, const QString& label, ReferenceEntry* entry, bool* matched) {
    *matched = false;
    std::shared_ptr<Store> store = m_database.store();
    if (!store)
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    Status s = m_browsed.open(*store, query);
    BrowsedRecord record;
    if (s)
        s = m_browsed.findFirst(label, matched, &record);
    if (s && *matched)
        *entry = std::get<ReferenceEntry>(record);
    return s;
}

void ActEntryWindow::abandonLoad(const QString& why) {
    if (!why.isNull())
        Dialogs::warn(this, QStringLiteral("La saisie d'un acte ne peut pas s'ouvrir : les listes de praticiens, "
                                           "d'actes et de mutuelles n'ont pas pu être lues.\n%1")
                                .arg(why));
    // A half-loaded screen would save acts with missing choices: it goes away at once.
    QTimer::singleShot(0, this, &QWidget::close);
}

// ---- Act type and acts ----

void ActEntryWindow::chooseActType(ActKind kind) {
    const bool delivery = kind == ActKind::Delivery;
    m_lstActes->clear();
    m_optNo->setChecked(true);
    supplementChosen();
    m_txtCotation->clear();
    m_txtCCAMAC->clear();
    m_txtEuros->setText(QStringLiteral("0"));
    m_lblFrancs->clear();
    m_optMut[0]->setChecked(true);
    m_txtDE->setText(QStringLiteral("0"));
    m_txtOp->clear();
    empty(delivery ? m_cmbActesAcct1 : m_cmbActesChir1);
    empty(delivery ? m_cmbActesAcct2 : m_cmbActesChir2);
    (delivery ? m_txtCCAMA1 : m_txtCCAMC1)->clear();
    (delivery ? m_txtCCAMA2 : m_txtCCAMC2)->clear();
    // Acts chosen before the change of type must not count in the next act's fee.
    m_fee.reset();
    (delivery ? m_frameChir : m_frameAcct)->hide();
    (delivery ? m_frameAcct : m_frameChir)->show();
}

bool ActEntryWindow::findAct(ActKind kind, const QString& label, ActEntry* out) {
    const ReferenceList list = kind == ActKind::Delivery ? ReferenceList::DeliveryActs : ReferenceList::SurgicalActs;
    bool matched = false;
    ReferenceEntry entry;
    const Status s = findEntry(BrowseQuery::reference(list, ReferenceOrder::AsStored), label, &entry, &matched);
    if (!s) {
        Dialogs::warn(
            this,
            QStringLiteral("L'acte « %1 » n'a pas pu être lu dans la liste des actes.\n%2").arg(label, s.message));
        return false;
    }
    if (!matched) {
        Dialogs::warn(this, QStringLiteral("L'acte « %1 » ne figure plus dans la liste des actes.").arg(label));
        return false;
    }
    out->ccam = entry.code;
    out->tariff = entry.tariff;
    return true;
}

void ActEntryWindow::principalChosen(ActKind kind, const QString& label) {
    const bool delivery = kind == ActKind::Delivery;
    ActEntry act;
    if (!findAct(kind, label, &act))
        return;
    const QString value = m_fee.principalChosen(act.tariff);
    empty(delivery ? m_cmbActesAcct2 : m_cmbActesChir2);
    (delivery ? m_txtCCAMA2 : m_txtCCAMC2)->clear();
    m_txtCotation->setText(label);
    (delivery ? m_txtCCAMA1 : m_txtCCAMC1)->setText(act.ccam);
    m_txtCCAMAC->setText(act.ccam);
    m_lstActes->clear();
    m_lstActes->addItem(delivery ? FeeComputation::deliveryLine(act.ccam, label, value)
                                 : FeeComputation::surgicalLine(act.ccam, label));
    m_txtEuros->setText(value);
}

void ActEntryWindow::secondaryChosen(ActKind kind, const QString& label) {
    const bool delivery = kind == ActKind::Delivery;
    ActEntry act;
    if (!findAct(kind, label, &act))
        return;
    const QString value = m_fee.secondaryChosen(act.tariff);
    (delivery ? m_txtCCAMA2 : m_txtCCAMC2)->setText(act.ccam);
    m_lstActes->addItem(delivery ? FeeComputation::deliveryLine(act.ccam, label, m_fee.secondaryValueText())
                                 : FeeComputation::surgicalLine(act.ccam, label));
    m_txtEuros->setText(value);
}

// ---- Supplement, mutual insurer, totals ----

void ActEntryWindow::supplementChosen() {
    if (m_optNuit->isChecked()) {
        m_txtOp->setText(QStringLiteral("N"));
        m_txtOpE->setText(m_supplements.night);
    } else if (m_optFerie->isChecked()) {
        m_txtOp->setText(QStringLiteral("F"));
        m_txtOpE->setText(m_supplements.holiday);
    } else {
        m_txtOp->clear();
        m_txtOpE->setText(QStringLiteral("0"));
    }
}

void ActEntryWindow::mutualChosen(int slot) {
    if (slot == 0) {
        m_txtDE->setText(QStringLiteral("0"));
        return;
    }
    const QString label = m_txtCotation->text();
    bool matched = false;
    ReferenceEntry entry;
    const Status s = findEntry(BrowseQuery::allReferenceEntries(), label, &entry, &matched);
    if (!s) {
        Dialogs::warn(this,
                      QStringLiteral("Le dépassement de l'acte « %1 » n'a pas pu être lu.\n%2").arg(label, s.message));
        return;
    }
    if (!matched)
        return;
    // An insurer with no amount for this act pays no excess: 0 rather than the previous insurer's figure.
    const auto& excess = entry.excesses[size_t(slot - 1)];
    m_txtDE->setText(excess ? excess->toFrench() : QStringLiteral("0"));
}

void ActEntryWindow::recomputeTotal() {
    const QString total = FeeComputation::totalText(m_txtEuros->text(), m_txtOpE->text());
    m_txtEurosT->setText(total);
    // A text that is not a number gives no figure at all rather than a wrong one.
    if (total.isEmpty())
        m_lblFrancs->clear();
}

void ActEntryWindow::totalChanged(const QString& text) {
    if (const auto caption = FeeComputation::francsFor(text))
        m_lblFrancs->setText(*caption);
}

void ActEntryWindow::excessChanged(const QString& text) {
    if (const auto caption = FeeComputation::francsFor(text))
        m_lblDEF->setText(*caption);
}

// ---- Surname, date ----

bool ActEntryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtNom && event->type() == QEvent::KeyPress) {
        // Surnames are typed in capitals: a to z become A to Z; accents and the rest stay as typed.
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            QString upper = text;
            bool changed = false;
            for (QChar& c : upper) {
                if (c >= u'a' && c <= u'z') {
                    c = QChar(c.unicode() - 32);
                    changed = true;
                }
            }
            if (changed) {
                m_txtNom->insert(upper);
                return true;
            }
        }
    } else if (watched == m_txtDate && event->type() == QEvent::FocusOut) {
        // Only the user moving to another control of this screen checks the date: the window losing
        // the focus (a message box among them) or a popup opening must not, or the message would loop.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        const bool userMove = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                              reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                              reason == Qt::OtherFocusReason;
        // Going to the calendar is how the date gets picked; leaving by "Fermer Quitter" needs no date.
        if (userMove && next && next->window() == this && next != m_cmdQuitte && next != m_monthView &&
            !m_monthView->isAncestorOf(next))
            QMetaObject::invokeMethod(this, &ActEntryWindow::checkDate, Qt::QueuedConnection);
    }
    return Screen::eventFilter(watched, event);
}

void ActEntryWindow::checkDate() {
    if (!isVisible() || m_txtDate->hasFocus() || parseFrenchDate(m_txtDate->text()))
        return;
    Dialogs::inform(this, kBadDate);
    m_txtDate->setFocus(Qt::OtherFocusReason);
    m_txtDate->selectAll();
}

// ---- Saving, clearing, closing ----

void ActEntryWindow::save() {
    if (m_txtNom->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Il faut remplir le champ NOM"));
        return;
    }
    const qint64 day = dayNumberOfTypedOrZero(m_txtDate->text());

    // The total and the excess are stored as whole euros: a text that is not a number, or an amount
    // too large for the column, is refused here so that nothing wrong or half-written is stored.
    const QString totalText = m_txtEurosT->text();
    if (totalText.trimmed().isEmpty() &&
        !(FeeComputation::boxAmount(m_txtEuros->text()) && FeeComputation::boxAmount(m_txtOpE->text()))) {
        Dialogs::warn(this, QStringLiteral("La valeur des actes (« %1 ») ou le supplément (« %2 ») n'est pas un "
                                           "nombre : le total ne peut pas être calculé.\nCorrigez-le avant "
                                           "d'enregistrer ; la fiche n'a pas été enregistrée.")
                                .arg(m_txtEuros->text(), m_txtOpE->text()));
        return;
    }
    auto refuse = [this](const QString& what, const QString& text) {
        const QString why = Money::parse(text)
                                ? QStringLiteral("%1 (%2 €) dépasse la limite de 32767 € que la fiche peut "
                                                 "recevoir.")
                                      .arg(what, text)
                                : QStringLiteral("%1 (« %2 ») n'est pas un nombre.").arg(what, text);
        Dialogs::warn(this, why + QStringLiteral("\nCorrigez-le avant d'enregistrer ; la fiche n'a pas été "
                                                 "enregistrée."));
    };
    const auto prix = amountToInteger(totalText);
    if (!prix) {
        refuse(QStringLiteral("Le montant total"), totalText);
        return;
    }
    const auto de = amountToInteger(m_txtDE->text());
    if (!de) {
        refuse(QStringLiteral("Le dépassement"), m_txtDE->text());
        return;
    }

    std::shared_ptr<Store> store = m_database.store();
    const Status opened = store ? m_browsed.open(*store, BrowseQuery::allActs())
                                : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (!opened) {
        Dialogs::warn(this, QStringLiteral("Les fiches ne sont pas accessibles : la fiche n'a pas été "
                                           "enregistrée.\n%1")
                                .arg(opened.message));
        return;
    }
    if (Dialogs::ask(this, QStringLiteral("Voulez vous vraiment enregistrer cette Fiche ?"))) {
        auto line = [this](int i) { return i < m_lstActes->count() ? m_lstActes->item(i)->text() : QString(); };
        Act act;
        act.surname = m_txtNom->text();
        act.firstName = m_txtPrenom->text();
        act.date = day;
        act.followedBy = m_cmbPrat1->currentText();
        act.performedBy = m_cmbPrat2->currentText();
        act.act = m_txtCotation->text();
        act.code = m_txtCCAMAC->text();
        act.nightOrHoliday = m_txtOp->text();
        // The first line is the principal act's: the five after it are the secondary acts.
        for (int i = 0; i < 5; ++i)
            act.secondary[size_t(i)] = line(i + 1);
        act.price = Money::fromEuros(*prix);
        act.excess = Money::fromEuros(*de);
        qint64 number = 0;
        const Status appended = store->acts().append(act, &number);
        if (!appended) {
            // Nothing was stored: the entry stays on screen so that the user can try again.
            Dialogs::warn(this, QStringLiteral("La fiche n'a pas pu être enregistrée ; la saisie reste à "
                                               "l'écran.\n%1")
                                    .arg(appended.message));
            return;
        }
        Dialogs::inform(this, QStringLiteral("Enregistré !"));
    }
    clearEntry();
    m_txtNom->setFocus(Qt::OtherFocusReason);
}

void ActEntryWindow::clearEntry() {
    m_optNo->setChecked(true);
    m_optMut[0]->setChecked(true);
    supplementChosen();
    m_txtNom->clear();
    m_txtPrenom->clear();
    m_txtDate->clear();
    empty(m_cmbPrat2);
    empty(m_cmbActesAcct1);
    m_txtCCAMA1->clear();
    empty(m_cmbActesAcct2);
    m_txtCCAMA2->clear();
    empty(m_cmbActesChir1);
    m_txtCCAMC1->clear();
    empty(m_cmbActesChir2);
    m_txtCCAMC2->clear();
    m_txtCotation->clear();
    m_txtCCAMAC->clear();
    m_txtOp->clear();
    m_lstActes->clear();
    m_txtEuros->setText(QStringLiteral("0"));
    m_txtOpE->setText(QStringLiteral("0"));
    m_txtEurosT->clear();
    m_txtDE->setText(QStringLiteral("0"));
    // The next patient's fee starts from nothing.
    m_fee.reset();
}

void ActEntryWindow::quit() {
    if (Dialogs::ask(this, QStringLiteral("Fermer sans enregistrer ?")))
        close();
}

} // namespace obs
