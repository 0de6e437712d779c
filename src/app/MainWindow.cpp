#include "app/MainWindow.h"

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
#include "store/SharedDatabase.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"
#include "widgets/ScreenRoom.h"
#include "widgets/TextGuard.h"

#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

#include <algorithm>

namespace obs {

namespace {

const QString kAtRestHeading = QStringLiteral("Comptabilité entre médecins");
const QString kSelectFirst = QStringLiteral("Selectionnez un nom au préalable.");
const QString kSaveBeforeLeaving = QStringLiteral("Enregistrer les modifications de cette fiche ?");
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

// An amount box's text as a number: the amount when it reads as one.
std::optional<Money> boxAmount(const QLineEdit* box) {
    return Money::parse(box->text());
}

} // namespace

MainWindow::MainWindow(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_database(database), m_browsed(browsed) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Obsledger"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
    refuseControlCharacters(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUi() {
    m_ui->setupUi(this);
    m_label12 = m_ui->Label12;
    m_lblNumero = m_ui->LblNumero;
    m_txtNom = m_ui->TxtNom;
    m_txtPrenom = m_ui->TxtPrenom;
    m_txtDate = m_ui->TxtDate;
    m_txtActe = m_ui->TxtActe;
    m_txtCotation = m_ui->TxtCotation;
    m_lstActes = m_ui->LstActes;
    m_txtOp = m_ui->TxtOp;
    m_txtEuros = m_ui->TxtEuros;
    m_txtDE = m_ui->TxtDE;
    m_lblTotal = m_ui->LblTotal;
    m_lblTotalF = m_ui->LblTotalF;
    m_txtPrat1 = m_ui->TxtPrat1;
    m_txtPrat2 = m_ui->TxtPrat2;
    m_txtPSecu = m_ui->TxtPSecu;
    m_txtPCompl = m_ui->TxtPCompl;
    m_txtPDE = m_ui->TxtPDE;
    m_lblPTotal = m_ui->LblPTotal;
    m_lblResteDu = m_ui->LblResteDu;
    m_lblResteDE = m_ui->LblResteDE;
    m_text1 = m_ui->Text1;
    QPushButton* c1 = m_ui->Command1;
    QPushButton* c2 = m_ui->Command2;
    QPushButton* c3 = m_ui->Command3;
    QPushButton* c4 = m_ui->Command4;
    QPushButton* cmdEnreg = m_ui->CmdEnreg;
    m_cmdEnreg = cmdEnreg;
    m_lblNonEnregistre = m_ui->LblNonEnregistre;
    QPushButton* cmdSup = m_ui->CmdSup;
    QPushButton* cmdCreer = m_ui->CmdCreer;
    QPushButton* cmdRech = m_ui->CmdRecherche;
    QPushButton* cmdActes = m_ui->CmdActes;
    QPushButton* cmd5 = m_ui->Command5;
    QPushButton* cmd6 = m_ui->Command6;
    QPushButton* cmdFermer = m_ui->CmdFermer;

    // Designer knows whole point sizes only: the heading grows with the user's own font.
    QFont hf = m_label12->font();
    hf.setPointSizeF(hf.pointSizeF() * 1.5);
    m_label12->setFont(hf);
    // Five lines, filled with the secondary acts of the record shown.
    for (int i = 0; i < 5; ++i)
        m_lstActes->addItem(QString());
    m_lstActes->setFixedHeight(m_lstActes->sizeHintForRow(0) * 5 + 2 * m_lstActes->frameWidth() + 4);

    for (QLineEdit* box : {m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        AmountKeyFilter::install(box);

    connect(m_text1, &QLineEdit::textChanged, this, &MainWindow::searchTextChanged);
    connect(c1, &QPushButton::clicked, this, [this] { moveRecord(Move::First); });
    connect(c2, &QPushButton::clicked, this, [this] { moveRecord(Move::Last); });
    connect(c3, &QPushButton::clicked, this, [this] { moveRecord(Move::Previous); });
    connect(c4, &QPushButton::clicked, this, [this] { moveRecord(Move::Next); });
    connect(m_txtDE, &QLineEdit::textChanged, this, &MainWindow::recomputeTotalFromBoxes);
    for (QLineEdit* box : {m_txtPSecu, m_txtPCompl, m_txtPDE})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::recomputePayments);
    for (QLineEdit* box : {m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::recomputeRemainder);
    connect(cmdEnreg, &QPushButton::clicked, this, &MainWindow::save);
    connect(cmdSup, &QPushButton::clicked, this, &MainWindow::remove);
    connect(cmdCreer, &QPushButton::clicked, this,
            [this] { openScreen(m_entry, [this] { return new ActEntryWindow(m_database, m_browsed); }); });
    connect(cmdActes, &QPushButton::clicked, this,
            [this] { openScreen(m_reference, [this] { return new ReferenceListsEditor(m_database, m_browsed); }); });
    connect(cmdRech, &QPushButton::clicked, this,
            [this] { openScreen(m_search, [this] { return makeSearchWindow(); }); });
    connect(cmd5, &QPushButton::clicked, this, &MainWindow::openBackup);
    connect(cmd6, &QPushButton::clicked, this, [this] {
        openScreen(
            m_about, [] { return new AboutBox(); }, false);
    });
    connect(cmdFermer, &QPushButton::clicked, this, &MainWindow::close);

    // The note takes its room even while hidden, so that nothing moves when it shows.
    QSizePolicy keep = m_lblNonEnregistre->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_lblNonEnregistre->setSizePolicy(keep);
    m_lblNonEnregistre->hide();
    for (QLineEdit* box : {m_txtNom, m_txtPrenom, m_txtDate, m_txtActe, m_txtCotation, m_txtOp, m_txtPrat1, m_txtPrat2,
                           m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::updateUnsavedMark);

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, cmdEnreg, &QPushButton::click);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, cmd6, &QPushButton::click);
    // Typing a name at once finds the patient.
    m_text1->setFocus(Qt::OtherFocusReason);
}

QStringList MainWindow::boxTexts() const {
    QStringList texts;
    for (const QLineEdit* box : {m_txtNom, m_txtPrenom, m_txtDate, m_txtActe, m_txtCotation, m_txtOp, m_txtPrat1,
                                 m_txtPrat2, m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        texts << box->text();
    for (int i = 0; i < m_lstActes->count(); ++i)
        texts << m_lstActes->item(i)->text();
    return texts;
}

bool MainWindow::hasUnsavedChanges() const {
    return m_shown.has_value() && boxTexts() != m_shownTexts;
}

bool MainWindow::settleUnsaved() {
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

void MainWindow::updateUnsavedMark() {
    if (m_filling)
        return;
    const bool unsaved = hasUnsavedChanges();
    QFont f = m_cmdEnreg->font();
    if (f.bold() != unsaved) {
        f.setBold(unsaved);
        m_cmdEnreg->setFont(f);
    }
    m_lblNonEnregistre->setVisible(unsaved);
}

bool MainWindow::load() {
    return openDatabaseAtLoad(this, m_database, true, true) == OpenOutcome::Opened;
}

SearchWindow* MainWindow::makeSearchWindow() {
    auto* search = new SearchWindow(m_database);
    // Back from a found act, the search shows its criteria and found list again.
    if (m_searchKept)
        search->resume(*std::exchange(m_searchKept, nullptr));
    // The search screen names the act; the act is shown here, through the one display.
    connect(search, &SearchWindow::actChosen, this, [this, search](qint64 number) {
        m_searchKept = std::make_shared<const SearchState>(search->state());
        comeBack();
        openAct(number);
    });
    return search;
}

void MainWindow::searchTextChanged(const QString& text) {
    if (!text.isEmpty() && !settleUnsaved()) {
        // Cancelled: the keystroke is undone, the act and its typing stay.
        const int position = m_text1->cursorPosition() - int(text.size() - m_searchText.size());
        const QSignalBlocker quiet(m_text1);
        m_text1->setText(m_searchText);
        m_text1->setCursorPosition(std::clamp(position, 0, int(m_searchText.size())));
        return;
    }
    m_searchText = text;
    searchByName(text);
}

void MainWindow::searchByName(const QString& text) {
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

void MainWindow::moveRecord(Move move) {
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

void MainWindow::showAct(const Act& act, PriceForm priceForm) {
    m_shown = act;
    m_shownPriceForm = priceForm;
    m_filling = true;
    const QString date = storedDateText(act.date);
    m_lblNumero->setText(QString::number(act.number));
    m_txtNom->setText(act.surname);
    m_txtPrenom->setText(act.firstName);
    m_txtDate->setText(date);
    m_txtActe->setText(act.act);
    m_txtCotation->setText(act.code);
    m_txtOp->setText(act.nightOrHoliday);
    for (int i = 0; i < 5; ++i) {
        if (i < m_lstActes->count())
            m_lstActes->item(i)->setText(act.secondary[i]);
        else
            m_lstActes->addItem(act.secondary[i]);
    }
    m_txtPrat1->setText(act.followedBy);
    m_txtPrat2->setText(act.performedBy);
    if (priceForm == PriceForm::RoundedToCents)
        m_txtEuros->setText(act.price ? act.price->roundedTo2().toFrench() : QString());
    else
        m_txtEuros->setText(frenchAmountText(act.price));
    m_txtDE->setText(frenchAmountText(act.excess));
    m_txtPSecu->setText(frenchAmountText(act.paidSecu));
    m_txtPCompl->setText(frenchAmountText(act.paidComplementary));
    m_txtPDE->setText(frenchAmountText(act.paidExcess));
    m_label12->setText(QStringLiteral("Acte pour M. ") + act.surname + u' ' + act.firstName + QStringLiteral(" du ") +
                       date);
    setTotalCaption(totalCaptionOf({act.excess.value_or(Money()), act.price.value_or(Money())}));
    recomputeRemainder();
    m_filling = false;
    m_shownTexts = boxTexts();
    updateUnsavedMark();
}

void MainWindow::openAct(qint64 number) {
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

void MainWindow::setTotalCaption(const QString& caption) {
    m_lblTotal->setText(caption);
    if (caption.isEmpty())
        return; // the francs keep their last figure
    if (caption == kOutOfRange) {
        m_lblTotalF->clear();
        return;
    }
    QString amount = caption;
    if (amount.endsWith(QStringLiteral(" €")))
        amount.chop(2);
    if (const auto m = Money::parse(amount))
        m_lblTotalF->setText(francsCaption(*m));
}

void MainWindow::recomputeTotalFromBoxes() {
    setTotalCaption(QString());
    const auto euros = boxAmount(m_txtEuros);
    const auto de = boxAmount(m_txtDE);
    if (euros && de)
        setTotalCaption(totalCaptionOf({*euros, *de}));
}

void MainWindow::recomputePayments() {
    m_lblPTotal->setText(
        totalCaptionOf({boxAmount(m_txtPSecu).value_or(Money()), boxAmount(m_txtPCompl).value_or(Money()),
                        boxAmount(m_txtPDE).value_or(Money())}));
}

void MainWindow::recomputeRemainder() {
    m_lblResteDu->clear();
    m_lblResteDE->clear();
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
    const auto price = amountOf(m_txtEuros);
    const auto excess = amountOf(m_txtDE);
    const auto secu = amountOf(m_txtPSecu);
    const auto complementary = amountOf(m_txtPCompl);
    const auto paidExcess = amountOf(m_txtPDE);
    if (!price || !excess || !secu || !complementary || !paidExcess)
        return;
    m_lblResteDu->setText(remainderCaption(remainderDue(*price, *excess, *secu, *complementary, *paidExcess)));
    m_lblResteDE->setText(remainderCaption(excessRemainder(*excess, *paidExcess)));
}

void MainWindow::clearRecord() {
    m_shown.reset();
    m_lblNumero->clear();
    for (QLineEdit* box : {m_txtNom, m_txtPrenom, m_txtDate, m_txtActe, m_txtCotation, m_txtOp})
        box->clear();
    for (int i = 0; i < m_lstActes->count(); ++i)
        m_lstActes->item(i)->setText(QString());
    for (QLineEdit* box : {m_txtPrat1, m_txtPrat2, m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        box->clear();
    m_label12->setText(kAtRestHeading);
    m_lblTotal->clear();
    m_lblTotalF->clear();
    m_shownTexts.clear();
    updateUnsavedMark();
    m_lblResteDu->clear();
    m_lblResteDE->clear();
}

void MainWindow::save() {
    // The user asked for the save: Enter saves.
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment modifier cette Fiche ?"), Dialogs::Default::Yes))
        return;
    if (writeRecord())
        Dialogs::inform(this, QStringLiteral("Fiche modifiée"));
}

bool MainWindow::writeRecord() {
    bool numberOk = false;
    const qint64 number = m_lblNumero->text().toLongLong(&numberOk);
    std::shared_ptr<Store> store = m_database.store();
    if (!numberOk || !store) {
        Dialogs::inform(this, kSelectFirst);
        return false;
    }
    // The act as shown; a number typed into no act (never shown) is read as stored now.
    Act act;
    Status s;
    if (m_shown && m_shown->number == number) {
        act = *m_shown;
    } else {
        bool found = false;
        s = store->acts().find(number, &act, &found);
        if (s && !found) {
            Dialogs::inform(this, kSelectFirst);
            return false;
        }
        if (!s) {
            Dialogs::warn(this,
                          QStringLiteral("La fiche n'a pas pu être lue ; rien n'a été enregistré.\n%1").arg(s.message));
            return false;
        }
    }
    const Act shown = act;

    // Every value is checked before anything is written: a refused box leaves the record whole.
    const QString dateText = m_txtDate->text();
    const auto typedDate = parseFrenchDate(dateText);
    if (typedDate) {
        act.date = dayNumberOf(*typedDate);
    } else if (dateText != storedDateText(act.date)) {
        Dialogs::warn(this, QStringLiteral("La date de l'acte « %1 » n'est pas une date valide. Saisissez-la sous la "
                                           "forme JJ/MM/AAAA. Rien n'a été enregistré.")
                                .arg(dateText));
        m_txtDate->setFocus();
        m_txtDate->selectAll();
        return false;
    }
    act.act = m_txtActe->text();
    act.followedBy = m_txtPrat1->text();
    act.performedBy = m_txtPrat2->text();
    act.code = m_txtCotation->text();
    act.nightOrHoliday = m_txtOp->text();
    for (int i = 0; i < 5; ++i)
        act.secondary[i] = i < m_lstActes->count() ? m_lstActes->item(i)->text() : QString();
    const struct {
        QLineEdit* box;
        std::optional<Money> Act::*column;
        const char* caption;
    } amounts[] = {{m_txtEuros, &Act::price, "Montant"},
                   {m_txtDE, &Act::excess, "DE"},
                   {m_txtPSecu, &Act::paidSecu, "Payé Sécu"},
                   {m_txtPCompl, &Act::paidComplementary, "Payé Complémentaire"},
                   {m_txtPDE, &Act::paidExcess, "Payé DE"}};
    for (const auto& a : amounts) {
        const QString text = a.box->text();
        std::optional<Money> m = text.trimmed().isEmpty() ? std::optional<Money>(Money()) : Money::parse(text);
        if (!m) {
            Dialogs::warn(this, QStringLiteral("Le montant « %1 » n'est pas un nombre valide : « %2 ». Corrigez-le ; "
                                               "rien n'a été enregistré.")
                                    .arg(QString::fromUtf8(a.caption), text));
            a.box->setFocus();
            a.box->selectAll();
            return false;
        }
        if (!m->inAmountRange()) {
            Dialogs::warn(this, QStringLiteral("Le montant « %1 » doit être compris entre -10000000 et 10000000 € : "
                                               "« %2 ». Corrigez-le ; rien n'a été enregistré.")
                                    .arg(QString::fromUtf8(a.caption), text));
            a.box->setFocus();
            a.box->selectAll();
            return false;
        }
        act.*a.column = m;
    }
    act.surname = m_txtNom->text();
    act.firstName = m_txtPrenom->text();

    s = store->acts().update(shown, act, typedDate.has_value());
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::explain(this, kSelectFirst,
                         QStringLiteral("Cette fiche a été supprimée sur un autre poste depuis son affichage : rien "
                                        "n'a été enregistré."),
                         true);
        return false;
    }
    if (s.error == StoreError::Changed) {
        // Another workstation saved it first: its values are shown, the typing here is not written.
        Dialogs::warn(this, QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage : rien "
                                           "n'a été enregistré.\nLa fiche est affichée telle qu'elle est maintenant "
                                           "enregistrée ; refaites vos modifications puis enregistrez."));
        openAct(number);
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
    return true;
}

void MainWindow::remove() {
    m_database.setLocation(Settings::databaseLocation());
    bool numberOk = false;
    const qint64 number = m_lblNumero->text().toLongLong(&numberOk);
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
    if (m_database.reopen())
        m_browsed.open(*m_database.store(), BrowseQuery::actsByName());
}

template <class T>
void MainWindow::openScreen(QPointer<T>& slot, const std::type_identity_t<std::function<T*()>>& make, bool hideMain) {
    // The window keeps its contents while hidden, but typing left unsaved there would be forgotten.
    if (hideMain && !slot && !settleUnsaved())
        return;
    if (!slot) {
        slot = make();
        connect(slot.data(), &Screen::closed, this, &MainWindow::screenClosed);
    }
    if (endRequested())
        return;
    slot->show();
    slot->raise();
    slot->activateWindow();
    if (hideMain && isVisible()) {
        m_placed = frameGeometry();
        hide();
    }
}

void MainWindow::comeBack() {
    // Where it was, and whole on the screen: the window manager would otherwise place it anew.
    if (!isVisible() && m_placed.isValid())
        placeWithinScreen(this, m_placed);
    show();
    raise();
    activateWindow();
}

void MainWindow::openBackup() {
    if (!m_backup && !settleUnsaved())
        return;
    // The file must be free to be copied or replaced.
    m_database.close();
    openScreen(m_backup, [] { return new BackupWindow(); });
}

void MainWindow::screenClosed() {
    if (m_ending)
        return;
    if (sender() == m_about.data() && isVisible())
        return;
    if (sender() == m_backup.data()) {
        if (!m_database.store() && !load())
            return;
        refreshAfterBackup();
    }
    comeBack();
}

void MainWindow::refreshAfterBackup() {
    // The result followed by the record buttons belonged to the base as it was: they start again
    // from the first or the last act by name.
    m_browsed.reset();
    // So did the search kept to come back to.
    m_searchKept.reset();
    if (!m_shown)
        return;
    const qint64 number = m_shown->number;
    Act act;
    bool found = false;
    std::shared_ptr<Store> store = m_database.store();
    if (store && store->acts().find(number, &act, &found) && found)
        showAct(act, m_shownPriceForm); // as the base now holds it, so that a save compares with that
    else
        clearRecord();
}

void MainWindow::closeEvent(QCloseEvent* event) {
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
