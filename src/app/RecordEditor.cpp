#include "app/RecordEditor.h"

#include "about/AboutBox.h"
#include "accounts/SearchWindow.h"
#include "backup/BackupWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/Remainder.h"
#include "entry/ActEntryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "store/BrowsedResult.h"
#include "store/ChangeWatch.h"
#include "store/SharedDatabase.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/PaymentModeBox.h"
#include "widgets/Screen.h"
#include "widgets/ScreenRoom.h"
#include "widgets/TextGuard.h"

#include "ui_RecordEditor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace obs {

namespace {

const QString kAtRestHeading = QStringLiteral("Comptabilité entre médecins");
const QString kSelectFirst = QStringLiteral("Selectionnez un nom au préalable.");
const QString kSaveBeforeLeaving = QStringLiteral("Enregistrer les modifications de cette fiche ?");
const QString kChangedElsewhere = QStringLiteral("Cette fiche a été modifiée sur un autre poste");
const QString kDeletedElsewhere = QStringLiteral("Cette fiche a été supprimée sur un autre poste");
// Shown in place of a total that cannot be worked out from amounts beyond the program's range.
const QString kOutOfRange = QStringLiteral("Montant hors limites (10000000 € au plus)");

// The sum of amounts shown as a total, or the out-of-range notice.
QString totalCaptionOf(std::initializer_list<Money> amounts) {
    for (Money m : amounts) {
        if (!m.inAmountRange())
            return kOutOfRange;
    }
    const auto sum = sumOf(amounts);
    return sum ? sum->toFrench() + QStringLiteral(" €") : kOutOfRange;
}

// What another workstation changed in an act, as the boxes name it: "Prénom (Léa → Léna)".
QStringList changesBetween(const Act& before, const Act& after) {
    QStringList out;
    const auto compare = [&](const char* caption, const QString& was, const QString& now) {
        if (was != now)
            out << QStringLiteral("%1 (%2 → %3)")
                       .arg(QString::fromUtf8(caption), was.isEmpty() ? QStringLiteral("vide") : was,
                            now.isEmpty() ? QStringLiteral("vide") : now);
    };
    compare("Nom", before.surname, after.surname);
    compare("Prénom", before.firstName, after.firstName);
    compare("Date de l'acte", storedDateText(before.date), storedDateText(after.date));
    compare("Acte principal", before.act, after.act);
    compare("Cotation CCAM", before.code, after.code);
    compare("Férié/Nuit", before.nightOrHoliday, after.nightOrHoliday);
    compare("Actes secondaires", QStringList(before.secondary.begin(), before.secondary.end()).join(u' ').simplified(),
            QStringList(after.secondary.begin(), after.secondary.end()).join(u' ').simplified());
    compare("Praticien assurant le suivi", before.followedBy, after.followedBy);
    compare("Praticien ayant éffectué l'acte", before.performedBy, after.performedBy);
    compare("Montant", frenchAmountText(before.price), frenchAmountText(after.price));
    compare("DE", frenchAmountText(before.excess), frenchAmountText(after.excess));
    compare("Payé Sécu", frenchAmountText(before.paidSecu), frenchAmountText(after.paidSecu));
    compare("Payé Complémentaire", frenchAmountText(before.paidComplementary),
            frenchAmountText(after.paidComplementary));
    compare("Payé DE", frenchAmountText(before.paidExcess), frenchAmountText(after.paidExcess));
    compare("Somme reversée", frenchAmountText(before.reversed), frenchAmountText(after.reversed));
    return out;
}

// An amount box's text as a number: the amount when it reads as one.
std::optional<Money> boxAmount(const QLineEdit* box) {
    return Money::parse(box->text());
}

} // namespace

RecordEditor::RecordEditor(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::RecordEditor>()), m_database(database), m_browsed(browsed),
      m_navigator(database, browsed) {
    m_navigator.setHome(this);
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Obsledger"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    refuseControlCharacters(this);
}

RecordEditor::~RecordEditor() = default;

void RecordEditor::buildUi() {
    m_ui->setupUi(this);

    // Designer knows whole point sizes only: the heading grows with the user's own font.
    QFont hf = m_ui->Label12->font();
    hf.setPointSizeF(hf.pointSizeF() * 1.5);
    m_ui->Label12->setFont(hf);
    // Five lines, filled with the secondary acts of the record shown.
    for (int i = 0; i < 5; ++i)
        m_ui->LstActes->addItem(QString());
    m_ui->LstActes->setFixedHeight(m_ui->LstActes->sizeHintForRow(0) * 5 + 2 * m_ui->LstActes->frameWidth() + 4);

    for (QLineEdit* box : {m_ui->TxtEuros, m_ui->TxtDE, m_ui->TxtPSecu, m_ui->TxtPCompl, m_ui->TxtPDE})
        AmountKeyFilter::install(box);

    connect(m_ui->Text1, &QLineEdit::textChanged, this, &RecordEditor::searchTextChanged);
    connect(m_ui->Command1, &QPushButton::clicked, this, [this] { moveRecord(Move::First); });
    connect(m_ui->Command2, &QPushButton::clicked, this, [this] { moveRecord(Move::Last); });
    connect(m_ui->Command3, &QPushButton::clicked, this, [this] { moveRecord(Move::Previous); });
    connect(m_ui->Command4, &QPushButton::clicked, this, [this] { moveRecord(Move::Next); });
    connect(m_ui->TxtDE, &QLineEdit::textChanged, this, &RecordEditor::recomputeTotalFromBoxes);
    for (QLineEdit* box : {m_ui->TxtPSecu, m_ui->TxtPCompl, m_ui->TxtPDE})
        connect(box, &QLineEdit::textChanged, this, &RecordEditor::recomputePayments);
    for (QLineEdit* box : {m_ui->TxtEuros, m_ui->TxtDE, m_ui->TxtPSecu, m_ui->TxtPCompl, m_ui->TxtPDE})
        connect(box, &QLineEdit::textChanged, this, &RecordEditor::recomputeRemainder);
    connect(m_ui->CmdEnreg, &QPushButton::clicked, this, &RecordEditor::save);
    connect(m_ui->CmdSup, &QPushButton::clicked, this, &RecordEditor::remove);
    connect(m_ui->CmdHistorique, &QPushButton::clicked, this, &RecordEditor::openHistory);
    fillPaymentModes(m_ui->CmbMode);
    resetReceipt();
    connect(m_ui->CmdCreer, &QPushButton::clicked, &m_navigator, &Navigator::openEntry);
    connect(m_ui->CmdActes, &QPushButton::clicked, &m_navigator, &Navigator::openReference);
    connect(m_ui->CmdRecherche, &QPushButton::clicked, &m_navigator, &Navigator::openSearch);
    connect(m_ui->Command5, &QPushButton::clicked, &m_navigator, &Navigator::openBackup);
    connect(m_ui->Command6, &QPushButton::clicked, &m_navigator, &Navigator::openAbout);
    connect(m_ui->CmdFermer, &QPushButton::clicked, this, &RecordEditor::close);

    // The note takes its room even while hidden, so that nothing moves when it shows.
    QSizePolicy keep = m_ui->LblNonEnregistre->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->LblNonEnregistre->setSizePolicy(keep);
    m_ui->LblNonEnregistre->hide();
    for (QLineEdit* box : recordBoxes())
        connect(box, &QLineEdit::textChanged, this, &RecordEditor::updateUnsavedMark);

    // What another workstation changes in the act shown is shown here, or said.
    hideElsewhereNote();
    connect(m_ui->CmdRecharger, &QPushButton::clicked, this, &RecordEditor::reloadShownAct);
    connect(&m_database.changes(), &ChangeWatch::changed, this, &RecordEditor::changedElsewhere);

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, m_ui->CmdEnreg, &QPushButton::click);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, m_ui->Command6, &QPushButton::click);
    // Typing a name at once finds the patient.
    m_ui->Text1->setFocus(Qt::OtherFocusReason);
}

QList<QLineEdit*> RecordEditor::recordBoxes() const {
    return {m_ui->TxtNom,   m_ui->TxtPrenom, m_ui->TxtDate,  m_ui->TxtActe,  m_ui->TxtCotation,
            m_ui->TxtOp,    m_ui->TxtPrat1,  m_ui->TxtPrat2, m_ui->TxtEuros, m_ui->TxtDE,
            m_ui->TxtPSecu, m_ui->TxtPCompl, m_ui->TxtPDE};
}

QStringList RecordEditor::boxTexts() const {
    QStringList texts;
    for (const QLineEdit* box : recordBoxes())
        texts << box->text();
    for (int i = 0; i < m_ui->LstActes->count(); ++i)
        texts << m_ui->LstActes->item(i)->text();
    return texts;
}

bool RecordEditor::hasUnsavedChanges() const {
    return m_shown.has_value() && boxTexts() != m_shownTexts;
}

bool RecordEditor::settleUnsaved() {
    if (!hasUnsavedChanges())
        return true;
    switch (Dialogs::askOrCancel(this, kSaveBeforeLeaving)) {
    case Dialogs::Choice::Yes:
        return writeRecord();
    case Dialogs::Choice::No: {
        // The typing is dropped: the act is shown again as it was read.
        const Act shown = *m_shown;
        showAct(shown, m_shownPriceForm);
        return true;
    }
    case Dialogs::Choice::Cancel:
        break;
    }
    return false;
}

void RecordEditor::updateUnsavedMark() {
    if (m_filling)
        return;
    const bool unsaved = hasUnsavedChanges();
    QFont f = m_ui->CmdEnreg->font();
    if (f.bold() != unsaved) {
        f.setBold(unsaved);
        m_ui->CmdEnreg->setFont(f);
    }
    m_ui->LblNonEnregistre->setVisible(unsaved);
}

bool RecordEditor::load() {
    return openDatabaseAtLoad(this, m_database, true, true) == OpenOutcome::Opened;
}

void RecordEditor::searchTextChanged(const QString& text) {
    if (!text.isEmpty() && !settleUnsaved()) {
        // Cancelled: the keystroke is undone, the act and its typing stay.
        const int position = m_ui->Text1->cursorPosition() - int(text.size() - m_searchText.size());
        const QSignalBlocker quiet(m_ui->Text1);
        m_ui->Text1->setText(m_searchText);
        m_ui->Text1->setCursorPosition(std::clamp(position, 0, int(m_searchText.size())));
        return;
    }
    m_searchText = text;
    searchByName(text);
}

void RecordEditor::searchByName(const QString& text) {
    if (text.isEmpty())
        return;
    std::shared_ptr<Store> store = m_database.store();
    const Status opened = store ? m_browsed.open(*store, BrowseQuery::actsByName())
                                : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (!opened) {
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(opened.message));
        return;
    }
    bool matched = false;
    BrowsedRecord record;
    const Status found = m_browsed.findFirst(text, &matched, &record);
    if (!found) {
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(found.message));
        return;
    }
    if (!matched) {
        Dialogs::inform(this, QStringLiteral("Ce Nom n'existe pas"));
        return;
    }
    if (const Act* act = std::get_if<Act>(&record))
        showAct(*act);
}

void RecordEditor::moveRecord(Move move) {
    const bool toAnEnd = move == Move::First || move == Move::Last;
    if (!m_browsed.isOpen() && !toAnEnd)
        return; // nothing to step through yet
    if (!settleUnsaved())
        return;
    // Before any search, the first and the last act go by name.
    if (!m_browsed.isOpen()) {
        std::shared_ptr<Store> store = m_database.store();
        if (!store)
            return;
        if (const Status opened = m_browsed.open(*store, BrowseQuery::actsByName()); !opened) {
            Dialogs::warn(this, QStringLiteral("Les fiches n'ont pas pu être lues.\n%1").arg(opened.message));
            return;
        }
    }
    BrowsedRecord record;
    const Status s = m_browsed.step(move, &record);
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::inform(this, QStringLiteral("Pas de Patient enregistré"));
        return;
    }
    // A closed database or another failure leaves the display as it was; so does an entry of a
    // reference list, which is no act to show.
    if (const Act* act = std::get_if<Act>(&record))
        showAct(*act);
}

void RecordEditor::showAct(const Act& act, PriceForm priceForm) {
    hideElsewhereNote();
    // Payments typed next are received today by transfer unless told otherwise: a day or a mode
    // chosen for an earlier payment must not date the next one.
    resetReceipt();
    m_shown = act;
    m_shownPriceForm = priceForm;
    m_filling = true;
    const QString date = storedDateText(act.date);
    m_ui->LblNumero->setText(QString::number(act.number));
    m_ui->TxtNom->setText(act.surname);
    m_ui->TxtPrenom->setText(act.firstName);
    m_ui->TxtDate->setText(date);
    m_ui->TxtActe->setText(act.act);
    m_ui->TxtCotation->setText(act.code);
    m_ui->TxtOp->setText(act.nightOrHoliday);
    for (int i = 0; i < 5; ++i) {
        if (i < m_ui->LstActes->count())
            m_ui->LstActes->item(i)->setText(act.secondary[i]);
        else
            m_ui->LstActes->addItem(act.secondary[i]);
    }
    m_ui->TxtPrat1->setText(act.followedBy);
    m_ui->TxtPrat2->setText(act.performedBy);
    if (priceForm == PriceForm::RoundedToCents)
        m_ui->TxtEuros->setText(act.price ? act.price->roundedTo2().toFrench() : QString());
    else
        m_ui->TxtEuros->setText(frenchAmountText(act.price));
    m_ui->TxtDE->setText(frenchAmountText(act.excess));
    m_ui->TxtPSecu->setText(frenchAmountText(act.paidSecu));
    m_ui->TxtPCompl->setText(frenchAmountText(act.paidComplementary));
    m_ui->TxtPDE->setText(frenchAmountText(act.paidExcess));
    m_ui->Label12->setText(QStringLiteral("Acte pour M. ") + act.surname + u' ' + act.firstName +
                           QStringLiteral(" du ") + date);
    setTotalCaption(totalCaptionOf({act.excess.value_or(Money()), act.price.value_or(Money())}));
    recomputeRemainder();
    m_filling = false;
    m_shownTexts = boxTexts();
    updateUnsavedMark();
}

void RecordEditor::openAct(qint64 number) {
    Act act;
    bool found = false;
    std::shared_ptr<Store> store = m_database.store();
    const Status s = store ? store->acts().find(number, &act, &found)
                           : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (!s) {
        Dialogs::warn(this, QStringLiteral("L'acte n° %1 n'a pas pu être lu.\n%2").arg(number).arg(s.message));
        return;
    }
    if (!found) {
        Dialogs::inform(
            this, QStringLiteral("L'acte n° %1 n'existe plus : il a été supprimé depuis la recherche.").arg(number));
        return;
    }
    showAct(act, PriceForm::AsStored);
}

void RecordEditor::setTotalCaption(const QString& caption) {
    m_ui->LblTotal->setText(caption);
    if (caption.isEmpty())
        return; // the francs keep their last figure
    if (caption == kOutOfRange) {
        m_ui->LblTotalF->clear();
        return;
    }
    QString amount = caption;
    if (amount.endsWith(QStringLiteral(" €")))
        amount.chop(2);
    if (const auto m = Money::parse(amount))
        m_ui->LblTotalF->setText(francsCaption(*m));
}

void RecordEditor::recomputeTotalFromBoxes() {
    setTotalCaption(QString());
    const auto euros = boxAmount(m_ui->TxtEuros);
    const auto de = boxAmount(m_ui->TxtDE);
    if (euros && de)
        setTotalCaption(totalCaptionOf({*euros, *de}));
}

void RecordEditor::recomputePayments() {
    m_ui->LblPTotal->setText(
        totalCaptionOf({boxAmount(m_ui->TxtPSecu).value_or(Money()), boxAmount(m_ui->TxtPCompl).value_or(Money()),
                        boxAmount(m_ui->TxtPDE).value_or(Money())}));
}

void RecordEditor::recomputeRemainder() {
    m_ui->LblResteDu->clear();
    m_ui->LblResteDE->clear();
    if (!m_shown)
        return; // no act on screen
    // An empty box counts as 0; a box that does not hold an amount leaves the remainder unknown.
    const auto amountOf = [](const QLineEdit* box) -> std::optional<std::optional<Money>> {
        if (box->text().trimmed().isEmpty())
            return std::optional<Money>();
        if (auto m = boxAmount(box))
            return m;
        return std::nullopt;
    };
    const auto price = amountOf(m_ui->TxtEuros);
    const auto excess = amountOf(m_ui->TxtDE);
    const auto secu = amountOf(m_ui->TxtPSecu);
    const auto complementary = amountOf(m_ui->TxtPCompl);
    const auto paidExcess = amountOf(m_ui->TxtPDE);
    if (!price || !excess || !secu || !complementary || !paidExcess)
        return;
    m_ui->LblResteDu->setText(remainderCaption(remainderDue(*price, *excess, *secu, *complementary, *paidExcess)));
    m_ui->LblResteDE->setText(remainderCaption(excessRemainder(*excess, *paidExcess)));
}

void RecordEditor::clearRecord() {
    hideElsewhereNote();
    m_shown.reset();
    m_ui->LblNumero->clear();
    for (QLineEdit* box : recordBoxes())
        box->clear();
    for (int i = 0; i < m_ui->LstActes->count(); ++i)
        m_ui->LstActes->item(i)->setText(QString());
    m_ui->Label12->setText(kAtRestHeading);
    m_ui->LblTotal->clear();
    m_ui->LblTotalF->clear();
    m_shownTexts.clear();
    updateUnsavedMark();
    m_ui->LblResteDu->clear();
    m_ui->LblResteDE->clear();
}

void RecordEditor::save() {
    // The user asked for the save: Enter saves.
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment modifier cette Fiche ?"), Dialogs::Default::Yes))
        return;
    if (writeRecord())
        Dialogs::inform(this, QStringLiteral("Fiche modifiée"));
}

bool RecordEditor::writeRecord() {
    bool numberOk = false;
    const qint64 number = m_ui->LblNumero->text().toLongLong(&numberOk);
    std::shared_ptr<Store> store = m_database.store();
    if (!numberOk || !store) {
        Dialogs::inform(this, kSelectFirst);
        return false;
    }
    const std::optional<Act> shown = actToChange(*store, number);
    if (!shown)
        return false;
    Act act = *shown;
    bool dateTyped = false;
    if (!readBoxes(&act, &dateTyped))
        return false;

    bool receiptUsable = true;
    const std::optional<Receipt> receipt = readReceipt(*shown, act, &receiptUsable);
    if (!receiptUsable)
        return false;

    const Status s = store->acts().update(*shown, act, dateTyped, receipt);
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::explain(this, kSelectFirst,
                         QStringLiteral("Cette fiche a été supprimée sur un autre poste depuis son affichage : rien "
                                        "n'a été enregistré."),
                         true);
        return false;
    }
    if (s.error == StoreError::Changed) {
        // Another workstation saved it first: nothing is written, nothing typed is lost.
        Act stored;
        bool found = false;
        const Status read = store->acts().find(number, &stored, &found);
        if (read && found) {
            keepTypingOverStored(*shown, stored);
            return false;
        }
        Dialogs::warn(this, QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage : rien "
                                           "n'a été enregistré.\nVos saisies restent affichées ; la fiche n'a pas pu "
                                           "être relue.\n%1")
                                .arg(read ? QStringLiteral("Elle a été supprimée depuis.") : read.message));
        return false;
    }
    if (s.error == StoreError::ConnectionLost) {
        // The server went away: its message says whether the save was made; the typing stays.
        Dialogs::warn(this, s.message);
        return false;
    }
    if (!s) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas été modifiée.\n%1").arg(s.message));
        return false;
    }
    // The act as now stored is what the next save compares with.
    bool found = false;
    Act saved;
    if (store->acts().find(number, &saved, &found) && found)
        m_shown = saved;
    m_shownTexts = boxTexts();
    updateUnsavedMark();
    resetReceipt();
    m_navigator.actSaved(number);
    return true;
}

void RecordEditor::showActAgain(const Act& act) {
    const QString day = m_ui->TxtRecuLe->text();
    const int mode = m_ui->CmbMode->currentIndex();
    showAct(act, m_shownPriceForm);
    m_ui->TxtRecuLe->setText(day);
    m_ui->CmbMode->setCurrentIndex(mode);
}

void RecordEditor::keepTypingOverStored(const Act& shown, const Act& stored) {
    const QStringList typed = boxTexts();
    const QStringList asShown = m_shownTexts;
    const QStringList elsewhere = changesBetween(shown, stored);
    showActAgain(stored);
    const QList<QLineEdit*> boxes = recordBoxes();
    for (qsizetype i = 0; i < typed.size() && i < asShown.size(); ++i) {
        if (typed[i] == asShown[i])
            continue;
        if (i < boxes.size())
            boxes[i]->setText(typed[i]);
        else if (QListWidgetItem* item = m_ui->LstActes->item(int(i - boxes.size())))
            item->setText(typed[i]);
    }
    updateUnsavedMark();
    const QString what = elsewhere.isEmpty() ? QStringLiteral("rien de ce qui est affiché") : elsewhere.join(u", ");
    showElsewhereNote(QStringLiteral("Modifié sur un autre poste : %1").arg(what), true);
    Dialogs::warn(this, QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage : rien n'a "
                                       "été enregistré.\nModifié sur l'autre poste : %1.\nVos saisies sont gardées ; "
                                       "les autres cases montrent la fiche telle qu'elle est maintenant enregistrée. "
                                       "Enregistrez de nouveau pour écrire vos saisies.")
                            .arg(what));
}

std::optional<Receipt> RecordEditor::readReceipt(const Act& shown, const Act& edited, bool* usable) {
    *usable = true;
    const auto same = [](const std::optional<Money>& a, const std::optional<Money>& b) {
        return a.value_or(Money()) == b.value_or(Money());
    };
    if (same(shown.paidSecu, edited.paidSecu) && same(shown.paidComplementary, edited.paidComplementary) &&
        same(shown.paidExcess, edited.paidExcess))
        return std::nullopt; // no money moved: the day of receipt is not used
    const auto refuse = [this, usable](const QString& why) {
        *usable = false;
        Dialogs::warn(this, why + QStringLiteral(" Rien n'a été enregistré."));
        m_ui->TxtRecuLe->setFocus();
        m_ui->TxtRecuLe->selectAll();
        return std::nullopt;
    };
    const QString text = m_ui->TxtRecuLe->text().trimmed();
    const auto day = parseFrenchDate(text);
    if (!day)
        return refuse(QStringLiteral("La date de réception « %1 » n'est pas une date valide : saisissez-la sous la "
                                     "forme JJ/MM/AAAA.")
                          .arg(text));
    if (*day > QDate::currentDate())
        return refuse(QStringLiteral("La date de réception (%1) est postérieure à aujourd'hui : un paiement est "
                                     "saisi une fois reçu.")
                          .arg(frenchDate(*day)));
    const qint64 received = dayNumberOf(*day);
    const StoredDay actDay = edited.date;
    if (actDay && received < *actDay)
        return refuse(QStringLiteral("La date de réception (%1) précède la date de l'acte (%2).")
                          .arg(frenchDate(*day), storedDateText(actDay)));
    return Receipt{received, chosenPaymentMode(m_ui->CmbMode)};
}

void RecordEditor::resetReceipt() {
    m_ui->TxtRecuLe->setText(frenchDate(QDate::currentDate()));
    resetPaymentMode(m_ui->CmbMode);
}

void RecordEditor::openHistory() {
    bool numberOk = false;
    const qint64 number = m_ui->LblNumero->text().toLongLong(&numberOk);
    if (!numberOk) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    m_navigator.openHistory(number);
}

std::optional<Act> RecordEditor::actToChange(Store& store, qint64 number) {
    if (m_shown && m_shown->number == number)
        return m_shown;
    Act act;
    bool found = false;
    const Status s = store.acts().find(number, &act, &found);
    if (!s) {
        Dialogs::warn(this,
                      QStringLiteral("La fiche n'a pas pu être lue ; rien n'a été enregistré.\n%1").arg(s.message));
        return std::nullopt;
    }
    if (!found) {
        Dialogs::inform(this, kSelectFirst);
        return std::nullopt;
    }
    return act;
}

bool RecordEditor::readBoxes(Act* act, bool* dateTyped) {
    // Every value is checked before anything is written: a refused box leaves the record whole.
    const auto refuse = [this](QLineEdit* box, const QString& why) {
        Dialogs::warn(this, why);
        box->setFocus();
        box->selectAll();
        return false;
    };
    const QString dateText = m_ui->TxtDate->text();
    const auto typedDate = parseFrenchDate(dateText);
    *dateTyped = typedDate.has_value();
    if (typedDate) {
        // Asked when the date is changed here; an act stored with a later day is not asked about again.
        const qint64 day = dayNumberOf(*typedDate);
        if (act->date != StoredDay(day) && !Dialogs::confirmActDate(this, *typedDate)) {
            m_ui->TxtDate->setFocus();
            m_ui->TxtDate->selectAll();
            return false;
        }
        act->date = day;
    } else if (dateText != storedDateText(act->date))
        return refuse(m_ui->TxtDate, QStringLiteral("La date de l'acte « %1 » n'est pas une date valide. Saisissez-la "
                                                    "sous la forme JJ/MM/AAAA. Rien n'a été enregistré.")
                                         .arg(dateText));
    const struct {
        QLineEdit* box;
        std::optional<Money> Act::*column;
        const char* caption;
    } amounts[] = {{m_ui->TxtEuros, &Act::price, "Montant"},
                   {m_ui->TxtDE, &Act::excess, "DE"},
                   {m_ui->TxtPSecu, &Act::paidSecu, "Payé Sécu"},
                   {m_ui->TxtPCompl, &Act::paidComplementary, "Payé Complémentaire"},
                   {m_ui->TxtPDE, &Act::paidExcess, "Payé DE"}};
    // A box left as shown keeps the amount as stored, to the last decimal (an older register's
    // price shown to the cent is not rewritten rounded).
    const QList<QLineEdit*> boxes = recordBoxes();
    const bool shownHere = m_shown && m_shown->number == act->number && m_shownTexts.size() >= boxes.size();
    std::optional<Money> read[std::size(amounts)];
    for (std::size_t i = 0; i < std::size(amounts); ++i) {
        const auto& a = amounts[i];
        const QString text = a.box->text();
        const QString caption = QString::fromUtf8(a.caption);
        if (shownHere && text == m_shownTexts[boxes.indexOf(a.box)]) {
            read[i] = (*act).*a.column;
            continue;
        }
        read[i] = text.trimmed().isEmpty() ? std::optional<Money>(Money()) : Money::parse(text);
        if (!read[i])
            return refuse(a.box, QStringLiteral("Le montant « %1 » n'est pas un nombre valide : « %2 ». Corrigez-le ; "
                                                "rien n'a été enregistré.")
                                     .arg(caption, text));
        if (!read[i]->inAmountRange())
            return refuse(a.box, QStringLiteral("Le montant « %1 » doit être compris entre -10000000 et 10000000 € : "
                                                "« %2 ». Corrigez-le ; rien n'a été enregistré.")
                                     .arg(caption, text));
        if (!read[i]->inWholeCents())
            return refuse(a.box, QStringLiteral("Le montant « %1 » a plus de deux décimales : « %2 ». Un montant se "
                                                "saisit au centime près ; rien n'a été enregistré.")
                                     .arg(caption, text));
    }
    for (std::size_t i = 0; i < std::size(amounts); ++i)
        (*act).*amounts[i].column = read[i];
    act->surname = m_ui->TxtNom->text();
    act->firstName = m_ui->TxtPrenom->text();
    act->act = m_ui->TxtActe->text();
    act->code = m_ui->TxtCotation->text();
    act->nightOrHoliday = m_ui->TxtOp->text();
    for (int i = 0; i < 5; ++i)
        act->secondary[i] = i < m_ui->LstActes->count() ? m_ui->LstActes->item(i)->text() : QString();
    act->followedBy = m_ui->TxtPrat1->text();
    act->performedBy = m_ui->TxtPrat2->text();
    return true;
}

void RecordEditor::remove() {
    m_database.followSettings();
    bool numberOk = false;
    const qint64 number = m_ui->LblNumero->text().toLongLong(&numberOk);
    if (!numberOk) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment SUPPRIMER ce DOSSIER ?"), Dialogs::Default::No))
        return;
    Status s = m_database.reopen();
    if (s)
        s = m_database.store()->acts().remove(number);
    if (!s && s.error != StoreError::NoCurrentRecord) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas été supprimée.\n%1").arg(s.message));
        return;
    }
    // A record already deleted elsewhere is gone all the same: the display is cleared as after a deletion.
    clearRecord();
    m_navigator.actSaved(number); // an open history shows the deletion
    if (m_database.reopen())
        m_browsed.open(*m_database.store(), BrowseQuery::actsByName());
}

void RecordEditor::refreshAfterRestore() {
    // The result followed by the record buttons belonged to the base as it was: they start again
    // from the first or the last act by name.
    m_browsed.reset();
    if (!m_shown)
        return;
    const qint64 number = m_shown->number;
    Act act;
    bool found = false;
    std::shared_ptr<Store> store = m_database.store();
    if (store && store->acts().find(number, &act, &found) && found)
        showActAgain(act); // as the base now holds it, so that a save compares with that
    else
        clearRecord();
}

void RecordEditor::changedElsewhere(const StoreChanges& changes) {
    if (m_shown && changes.mayConcern(m_shown->number))
        recheckShownAct();
}

void RecordEditor::recheckShownAct() {
    if (!m_shown)
        return;
    std::shared_ptr<Store> store = m_database.store();
    if (!store || !store->isOpen())
        return;
    Act stored;
    bool found = false;
    if (!store->acts().find(m_shown->number, &stored, &found)) {
        // The base is busy or away for a moment: read again a little later, once.
        if (!std::exchange(m_recheckQueued, true))
            QTimer::singleShot(ChangeWatch::kFilePollMs, this, [this] {
                m_recheckQueued = false;
                recheckShownAct();
            });
        return;
    }
    if (found && stored == *m_shown)
        return; // as shown (this workstation's own save, or a change undone)
    if (hasUnsavedChanges()) {
        // The typing stays until the user chooses: "Recharger", or a save that will say why not.
        showElsewhereNote(found ? kChangedElsewhere : kDeletedElsewhere, true);
        return;
    }
    if (found) {
        showActAgain(stored);
        return;
    }
    const Act gone = *m_shown;
    moveToNeighbour(gone);
    showElsewhereNote(QStringLiteral("La fiche de %1 %2 (n° %3) a été supprimée sur un autre poste.")
                          .arg(gone.surname, gone.firstName)
                          .arg(gone.number),
                      false);
}

void RecordEditor::reloadShownAct() {
    if (!m_shown)
        return;
    std::shared_ptr<Store> store = m_database.store();
    Act stored;
    bool found = false;
    const Status s = store ? store->acts().find(m_shown->number, &stored, &found)
                           : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    if (!s) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas pu être relue.\n%1").arg(s.message));
        return;
    }
    if (found)
        showAct(stored, m_shownPriceForm);
    else
        moveToNeighbour(*m_shown);
}

void RecordEditor::moveToNeighbour(const Act& gone) {
    std::shared_ptr<Store> store = m_database.store();
    BrowsedRecord record;
    RecordCursor* cursor = m_browsed.cursor();
    const bool actsBrowsed = m_browsed.isOpen() && (m_browsed.query().source == BrowseQuery::Source::ActsByName ||
                                                    m_browsed.query().source == BrowseQuery::Source::AllActs);
    BrowsedRecord current;
    if (!store || !store->isOpen()) {
        // Nothing to read a neighbour from: the display is cleared.
    } else if (actsBrowsed && cursor->hasCurrent() && cursor->current(&current).error == StoreError::NoCurrentRecord) {
        // The record buttons stand on the act that went: they go on from there, as "&>" would.
        m_browsed.step(Move::Next, &record);
    } else if (!m_browsed.isOpen()) {
        // The acts by name from the name of the act that went, followed by the record buttons from now on.
        bool matched = false;
        Status s = m_browsed.open(*store, BrowseQuery::actsByName());
        if (s)
            s = m_browsed.findFirst(gone.surname, &matched, &record);
        if (s && !matched)
            m_browsed.step(Move::Last, &record);
    } else {
        // The record buttons follow another result (a reference list, another act): it is left
        // as it is, and the neighbour by name is read apart.
        Status s;
        const std::unique_ptr<RecordCursor> byName = store->browse(BrowseQuery::actsByName(), &s);
        bool matched = false;
        if (byName)
            s = byName->findFirst(gone.surname, &matched);
        if (byName && s && !matched)
            s = byName->moveLast();
        if (byName && s && byName->hasCurrent())
            byName->currentAfterMove(&record);
    }
    if (const Act* act = std::get_if<Act>(&record))
        showAct(*act);
    else
        clearRecord();
}

void RecordEditor::showElsewhereNote(const QString& text, bool withReload) {
    m_ui->LblAutrePoste->setText(text);
    m_ui->LblAutrePoste->show();
    m_ui->CmdRecharger->setVisible(withReload);
}

void RecordEditor::hideElsewhereNote() {
    m_ui->LblAutrePoste->hide();
    m_ui->CmdRecharger->hide();
}

void RecordEditor::closeEvent(QCloseEvent* event) {
    // Typing not yet saved is saved, dropped or kept (the program then goes on) as the user says.
    if (!m_ending && !endRequested() && !settleUnsaved()) {
        event->ignore();
        return;
    }
    // Ending the program closes every screen; nothing else is asked or saved.
    m_ending = true;
    event->accept();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isWindow())
            w->close();
    }
    QCoreApplication::quit();
}

} // namespace obs
