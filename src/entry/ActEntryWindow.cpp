#include "entry/ActEntryWindow.h"

#include "common/AppPaths.h"
#include "common/DayNumber.h"
#include "domain/PublicHolidays.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/ListChoice.h"
#include "widgets/TextGuard.h"

#include "ui_ActEntryWindow.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTextCharFormat>
#include <QTimer>
#include <memory>

namespace obs {

namespace {

const QString kDefaultPractitionerMissing = QStringLiteral("Définir le médecin par défaut");
const QString kBadDate = QStringLiteral("Veuillez Saisir correctement la date");
const QString kTariffFileMissing = QStringLiteral("Le Fichier Tarifs est introuvable ou non chargé.");

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
    : Screen(QStringLiteral("Form2"), parent), m_ui(std::make_unique<Ui::ActEntryWindow>()), m_database(database),
      m_browsed(browsed) {
    setWindowTitle(QStringLiteral("Saisie d'un acte"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    refuseControlCharacters(this);
    setTabOrder();
    connectReactions();
    m_loaded = load();
}

ActEntryWindow::~ActEntryWindow() = default;

void ActEntryWindow::buildUi() {
    m_ui->setupUi(this);
    m_guide = m_ui->Label20;
    m_txtNom = m_ui->TxtNom;
    m_txtPrenom = m_ui->TxtPrenom;
    m_cmbPrat1 = m_ui->CmbPrat1;
    m_cmbPrat2 = m_ui->CmbPrat2;
    m_txtDate = m_ui->TxtDate;
    m_monthView = m_ui->MonthView1;
    m_optAcct = m_ui->OptAcct;
    m_optChir = m_ui->OptChir;
    m_frameAcct = m_ui->FrameAcct;
    m_frameChir = m_ui->FrameChir;
    m_cmbActesAcct1 = m_ui->CmbActesAcct1;
    m_cmbActesAcct2 = m_ui->CmbActesAcct2;
    m_cmbActesChir1 = m_ui->CmbActesChir1;
    m_cmbActesChir2 = m_ui->CmbActesChir2;
    m_txtCCAMA1 = m_ui->TxtCCAMA1;
    m_txtCCAMA2 = m_ui->TxtCCAMA2;
    m_txtCCAMC1 = m_ui->TxtCCAMC1;
    m_txtCCAMC2 = m_ui->TxtCCAMC2;
    m_optNo = m_ui->OptNo;
    m_optNuit = m_ui->OptNuit;
    m_optFerie = m_ui->OptFerie;
    m_lblNuitA = m_ui->LblNuitA;
    m_lblFerieA = m_ui->LblFerieA;
    m_lblJourFerie = m_ui->LblJourFerie;
    m_lstActes = m_ui->LstActes;
    m_txtCotation = m_ui->TxtCotation;
    m_txtCCAMAC = m_ui->TxtCCAMAC;
    m_txtOp = m_ui->TxtOp;
    m_txtOpE = m_ui->TxtOpE;
    m_txtEuros = m_ui->TxtEuros;
    m_txtEurosT = m_ui->TxtEurosT;
    m_lblFrancs = m_ui->LblFrancs;
    m_txtDE = m_ui->TxtDE;
    m_lblDEF = m_ui->LblDEF;
    m_optMut = {m_ui->OptMut0, m_ui->OptMut1, m_ui->OptMut2, m_ui->OptMut3,
                m_ui->OptMut4, m_ui->OptMut5, m_ui->OptMut6};
    m_cmbMut = m_ui->CmbMut;
    m_cmdEnreg = m_ui->Cmdenreg;
    m_cmdQuitte = m_ui->CmdQuitte;
    m_cmdMaJour = m_ui->CmdMaJour;

    // Both groups align their boxes on one column.
    int labelWidth = 0;
    for (QLabel* l : {m_ui->Label15, m_ui->Label16, m_ui->Label32, m_ui->Label34, m_ui->Label33})
        labelWidth = std::max(labelWidth, l->sizeHint().width());
    m_ui->patientGrid->setColumnMinimumWidth(0, labelWidth);
    m_ui->dateGrid->setColumnMinimumWidth(0, labelWidth);
    // Room for the principal act and the five secondary acts that are stored, and one more.
    m_lstActes->setFixedHeight(m_lstActes->fontMetrics().lineSpacing() * 7 + 2 * m_lstActes->frameWidth() + 8);

    AmountKeyFilter::install(m_txtEuros);
    AmountKeyFilter::install(m_txtDE);
    m_txtNom->installEventFilter(this);
    m_txtDate->installEventFilter(this);
}

void ActEntryWindow::setTabOrder() {
    const QList<QWidget*> chain = {
        // The performer is asked for right after the date, as the help text says.
        m_txtNom,        m_txtPrenom,     m_cmbPrat1,  m_txtDate,   m_cmbPrat2,  m_cmbActesAcct1, m_cmbActesAcct2,
        m_cmbActesChir1, m_cmbActesChir2, m_optFerie,  m_optNuit,   m_cmdEnreg,  m_cmdQuitte,     m_cmdMaJour,
        m_monthView,     m_optAcct,       m_optChir,   m_txtCCAMA1, m_txtCCAMA2, m_txtCCAMC1,     m_txtCCAMC2,
        m_optNo,         m_txtCotation,   m_txtCCAMAC, m_lstActes,  m_txtEuros,  m_txtOp,         m_txtOpE,
        m_txtEurosT,     m_optMut[0],     m_optMut[1], m_optMut[2], m_optMut[3], m_optMut[4],     m_optMut[5],
        m_optMut[6],     m_txtDE};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void ActEntryWindow::connectReactions() {
    connect(m_monthView, &QCalendarWidget::clicked, this, [this](QDate d) {
        m_txtDate->setText(frenchDate(d));
        showHolidayHint();
    });
    connect(m_monthView, &QCalendarWidget::activated, this, [this](QDate d) {
        m_txtDate->setText(frenchDate(d));
        showHolidayHint();
    });
    connect(m_monthView, &QCalendarWidget::currentPageChanged, this, &ActEntryWindow::markHolidays);

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

    connect(m_cmdEnreg, &QPushButton::clicked, this, [this] { save(); });
    connect(m_cmdQuitte, &QPushButton::clicked, this, &ActEntryWindow::quit);
    connect(m_cmdMaJour, &QPushButton::clicked, this, &ActEntryWindow::tariffsWanted);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, m_cmdEnreg, &QPushButton::click);
}

// ---- Loading ----

bool ActEntryWindow::load() {
    m_monthView->setSelectedDate(QDate::currentDate());
    markHolidays(m_monthView->yearShown(), m_monthView->monthShown());
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

    m_guide->setText(QStringLiteral(" Saisissez NOM et Prénom de la patiente, le nom du praticien assurant le suivi. "
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
    if (!m_supplements.found || (m_supplements.groupsRead == 0 && m_supplements.failed)) {
        const QString path = QDir::toNativeSeparators(applicationFile(QStringLiteral("tarifs.cmt")));
        const QString folder = QDir::toNativeSeparators(applicationFolder());
        const QString details =
            m_supplements.found
                ? QStringLiteral("Le fichier « %1 » ne se lit pas. Corrigez-le avec le bouton « Mise à jour des "
                                 "cotations », ou mettez-le de côté et recréez-le avec les valeurs usuelles :\n"
                                 "obsledger-admin files \"%2\"")
                      .arg(path, folder)
                : QStringLiteral("Fichier cherché : « %1 ». Pour le créer avec les valeurs usuelles :\n"
                                 "obsledger-admin files \"%2\"")
                      .arg(path, folder);
        Dialogs::explain(this, kTariffFileMissing, details, false);
    }
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
    m_leaving = true;
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
        showHolidayHint();
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

void ActEntryWindow::showHolidayHint() {
    const std::optional<QDate> date = parseFrenchDate(m_txtDate->text());
    m_lblJourFerie->setText(date ? holidaySupplementHint(*date) : QString());
}

void ActEntryWindow::markHolidays(int year, int month) {
    // Only Sundays and holidays in red: a Saturday is no day for the holiday supplement.
    QTextCharFormat plain;
    plain.setForeground(m_monthView->palette().color(QPalette::Text));
    m_monthView->setWeekdayTextFormat(Qt::Saturday, plain);
    // The page also shows the end of the month before and the start of the month after.
    m_monthView->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat red;
    red.setForeground(QColor(0xc0, 0x00, 0x00));
    const QDate first(year, month, 1);
    for (QDate d = first.addDays(-7); d <= first.addMonths(1).addDays(14); d = d.addDays(1))
        if (isHolidayOrSunday(d))
            m_monthView->setDateTextFormat(d, red);
}

void ActEntryWindow::checkDate() {
    if (!isVisible() || m_txtDate->hasFocus() || parseFrenchDate(m_txtDate->text()))
        return;
    Dialogs::inform(this, kBadDate);
    m_txtDate->setFocus(Qt::OtherFocusReason);
    m_txtDate->selectAll();
}

// ---- Saving, clearing, closing ----

bool ActEntryWindow::save() {
    // Where the user was: a declined save gives the focus back there, with the entry untouched.
    const QPointer<QWidget> focused = focusWidget();
    auto keepEntry = [&focused](QWidget* focusHere = nullptr) {
        if (QWidget* w = focusHere ? focusHere : focused.data())
            w->setFocus(Qt::OtherFocusReason);
        return false;
    };

    if (m_txtNom->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Il faut remplir le champ NOM"));
        return false;
    }
    const qint64 day = dayNumberOfTypedOrZero(m_txtDate->text());

    // The total and the excess are stored to the cent as shown: a text that is not a number, or an
    // amount beyond what the screens take, is refused here so that nothing wrong is stored.
    const QString totalText = m_txtEurosT->text();
    if (totalText.trimmed().isEmpty() &&
        !(FeeComputation::boxAmount(m_txtEuros->text()) && FeeComputation::boxAmount(m_txtOpE->text()))) {
        Dialogs::warn(this, QStringLiteral("La valeur des actes (« %1 ») ou le supplément (« %2 ») n'est pas un "
                                           "nombre : le total ne peut pas être calculé.\nCorrigez-le avant "
                                           "d'enregistrer ; la fiche n'a pas été enregistrée.")
                                .arg(m_txtEuros->text(), m_txtOpE->text()));
        return false;
    }
    auto refuse = [this](const QString& what, const QString& text) {
        const QString why = Money::parse(text) ? QStringLiteral("%1 (%2 €) doit être compris entre -%3 et %3 €.")
                                                     .arg(what, text, QString::number(Money::LargestEuros))
                                               : QStringLiteral("%1 (« %2 ») n'est pas un nombre.").arg(what, text);
        Dialogs::warn(this, why + QStringLiteral("\nCorrigez-le avant d'enregistrer ; la fiche n'a pas été "
                                                 "enregistrée."));
    };
    const auto prix = amountToCents(totalText);
    if (!prix) {
        refuse(QStringLiteral("Le montant total"), totalText);
        return false;
    }
    const auto de = amountToCents(m_txtDE->text());
    if (!de) {
        refuse(QStringLiteral("Le dépassement"), m_txtDE->text());
        return false;
    }

    std::shared_ptr<Store> store = m_database.store();
    const Status opened = store ? m_browsed.open(*store, BrowseQuery::allActs())
                                : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (!opened) {
        Dialogs::warn(this, QStringLiteral("Les fiches ne sont pas accessibles : la fiche n'a pas été "
                                           "enregistrée.\n%1")
                                .arg(opened.message));
        return false;
    }
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment enregistrer cette Fiche ?")))
        return keepEntry();
    if (const std::optional<QDate> typed = parseFrenchDate(m_txtDate->text());
        typed && !Dialogs::confirmActDate(this, *typed)) {
        keepEntry(m_txtDate);
        m_txtDate->selectAll();
        return false;
    }
    // An act without the practitioner who did it cannot be counted between practitioners later.
    if (m_cmbPrat2->currentText().trimmed().isEmpty() &&
        !Dialogs::ask(this, QStringLiteral("Aucun praticien n'a effectué l'acte. Enregistrer quand même ?"),
                      Dialogs::Default::No))
        return keepEntry(m_cmbPrat2);

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
    act.price = *prix;
    act.excess = *de;
    qint64 number = 0;
    const Status appended = store->acts().append(act, &number);
    if (appended.error == StoreError::ConnectionLost) {
        // The server went away: its message says whether the act was created; the entry stays.
        Dialogs::warn(this, QStringLiteral("La saisie reste à l'écran.\n%1").arg(appended.message));
        return false;
    }
    if (!appended) {
        // Nothing was stored: the entry stays on screen so that the user can try again.
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas pu être enregistrée ; la saisie reste à "
                                           "l'écran.\n%1")
                                .arg(appended.message));
        return false;
    }
    Dialogs::inform(this, QStringLiteral("Enregistré !"));
    clearEntry();
    m_txtNom->setFocus(Qt::OtherFocusReason);
    return true;
}

void ActEntryWindow::clearEntry() {
    m_optNo->setChecked(true);
    m_optMut[0]->setChecked(true);
    supplementChosen();
    m_txtNom->clear();
    m_txtPrenom->clear();
    m_txtDate->clear();
    m_lblJourFerie->clear();
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

bool ActEntryWindow::hasTyping() const {
    for (const QLineEdit* box : {m_txtNom, m_txtPrenom, m_txtDate, m_txtCotation, m_txtCCAMAC})
        if (!box->text().isEmpty())
            return true;
    for (const QComboBox* c : {m_cmbPrat2, m_cmbActesAcct1, m_cmbActesAcct2, m_cmbActesChir1, m_cmbActesChir2})
        if (!c->currentText().isEmpty())
            return true;
    for (const QLineEdit* amount : {m_txtEuros, m_txtDE})
        if (!amount->text().isEmpty() && amount->text() != u"0")
            return true;
    return m_lstActes->count() > 0 || !m_optNo->isChecked() || !m_optMut[0]->isChecked();
}

void ActEntryWindow::closeEvent(QCloseEvent* event) {
    // Every way out (the frame, Escape, "Fermer Quitter") asks the same question, so that one habit
    // has one meaning: Oui drops the typing. An empty entry has nothing to lose.
    if (!m_leaving && m_loaded && hasTyping() &&
        !Dialogs::ask(this, QStringLiteral("Fermer sans enregistrer ?"), Dialogs::Default::No)) {
        event->ignore();
        return;
    }
    Screen::closeEvent(event);
}

void ActEntryWindow::escapePressed() {
    quit();
}

void ActEntryWindow::quit() {
    close();
}

} // namespace obs
