#include "reference/ReferenceListsEditor.h"

#include "common/Money.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/TextGuard.h"

#include "ui_ReferenceListsEditor.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace obs {

namespace {

const QString kUnset = QStringLiteral("Espion");
const QString kCrLf = QStringLiteral("\r\n");

const QString kOpeningHelp =
    QStringLiteral(
        "Vous pouvez enregistrer les différents praticiens concernés en cliquant sur le bouton 'Médecins',") +
    QStringLiteral(" ainsi que que la cotation des divers actes médicaux en cliquant sur le bouton 'Actes'.") + kCrLf +
    QStringLiteral(" Le bouton 'Tarifs' permet de mettre à jour la valeur des lettres clefs utilisées.");

struct ListKind {
    int category;
    const char* title;
    QString help;
};

const ListKind kLists[] = {
    {1, "Médecins",
     QStringLiteral("Saisissez le nom du nouveau praticien (précédé de Dr) dans la zone de saisie 'Médecins', puis") +
         QStringLiteral(" clic sur 'Ajouter'. Pour modifier un nom, double clic sur le nom du praticien, modifier au "
                        "clavier, puis clic sur 'Modifier'.") +
         QStringLiteral(" Pour supprimer un nom, double clic sur le nom puis 'Supprimer'.")},
    {2, "Actes d'accouchement", QString()},
    {3, "Actes de chirurgie", QString()},
    {5, "Médecin traitant par défaut",
     QStringLiteral("Saisissez le nom du médecin traitant par défaut (précédé de Dr) dans la zone de saisie 'Médecins "
                    "traitant par défaut', puis") +
         QStringLiteral(" clic sur 'Ajouter'. Pour modifier le nom, double clic sur le nom du praticien, modifier au "
                        "clavier, puis clic sur 'Modifier'.") +
         QStringLiteral(" Pour supprimer le nom, double clic sur le nom puis 'Supprimer'.") +
         QStringLiteral(" Un seul nom doit être entré.")},
    {6, "Nom des Mutuelles",
     QStringLiteral("Saisissez le nom des différentes mutuelles dans la zone de saisie 'Nom des Mutuelles', puis") +
         QStringLiteral(" clic sur 'Ajouter'. Pour modifier le nom, double clic sur le nom de la mutuelle, modifier au "
                        "clavier, puis clic sur 'Modifier'.") +
         QStringLiteral(" Pour supprimer le nom, double clic sur le nom puis 'Supprimer'.") +
         QStringLiteral(" Un seul nom doit être entré.")},
};

const QString kActsHelp =
    QStringLiteral("Saisissez le nom du nouvel acte dans la zone de saisie 'actes', puis") +
    QStringLiteral(" son code CCAM ainsi que sa valeur en Euros dans les zones de saisie prévues.") + kCrLf +
    QStringLiteral(" Saissisez le montant de dépassement que rembourse chaque mutuelle pour cet acte.");

const char* const kMutDesign[6] = {"Mutuelle1", "Mutuelle 2", "Mutuelle3", "Mutuelle4", "Mutuelle 5", "Mutuelle6"};

const ListKind& listKind(int category) {
    for (const ListKind& k : kLists) {
        if (k.category == category)
            return k;
    }
    return kLists[0];
}

// An amount shown in a box: the short French form, empty when there is none.
QString amountText(const std::optional<Money>& amount) {
    return amount ? amount->toFrench() : QString();
}

} // namespace

ReferenceListsEditor::ReferenceListsEditor(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent)
    : Screen(QStringLiteral("Form8"), parent), m_ui(std::make_unique<Ui::ReferenceListsEditor>()), m_database(database),
      m_browsed(browsed) {
    setWindowTitle(QStringLiteral("Items mémorisés"));
    buildUi();
    refuseControlCharacters(this);
    m_help->setText(kOpeningHelp);
    openDatabaseAtLoad(this, m_database, true, true);
    markClean();
}

ReferenceListsEditor::~ReferenceListsEditor() = default;

void ReferenceListsEditor::buildUi() {
    m_ui->setupUi(this);
    m_listFrame = m_ui->Frame1;
    m_codeFrame = m_ui->Frame2;
    m_insurerRatesFrame = m_ui->Frame4;
    m_actsCaption = m_ui->Label3;
    m_help = m_ui->Label11;
    m_lblEspion = m_ui->LblEspion;
    m_labelBox = m_ui->Text1;
    m_entries = m_ui->List1;
    m_insurers = m_ui->List2;
    m_txtCcam = m_ui->TxtCCAM;
    m_txtTarifs = m_ui->TxtTARIFS;
    m_txtMut = {m_ui->TxtMut1, m_ui->TxtMut2, m_ui->TxtMut3, m_ui->TxtMut4, m_ui->TxtMut5, m_ui->TxtMut6};
    m_lblMut = {m_ui->LblMut1, m_ui->LblMut2, m_ui->LblMut3, m_ui->LblMut4, m_ui->LblMut5, m_ui->LblMut6};
    for (QLineEdit* box : m_txtMut)
        AmountKeyFilter::install(box);
    // The tariff takes any key (a mistake is said at the save), but never a third decimal.
    m_txtTarifs->setValidator(new CentsValidator(m_txtTarifs));
    // A long insurer name goes on two lines rather than widen the window past a small screen.
    for (QLabel* label : m_lblMut) {
        label->setWordWrap(true);
        label->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 26);
    }
    // Room for the long act labels of the catalogue ("Accouchement unique par voie naturelle chez une ...").
    m_entries->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 64);
    QPushButton* cmdMedecins = m_ui->CmdMedecins;
    QPushButton* cmdMedDefaut = m_ui->CmdMed_Defaut;
    QPushButton* cmdAccts = m_ui->CmdAccts;
    QPushButton* cmdChir = m_ui->CmdChir;
    QPushButton* cmdMut = m_ui->CmdMut;
    QPushButton* tariffs = m_ui->Command1;
    QPushButton* cmdQuitter = m_ui->CmdQuitter;
    QPushButton* cmdAjoute = m_ui->CmdAjoute;
    QPushButton* cmdModif = m_ui->CmdModif;
    QPushButton* cmdSupprime = m_ui->CmdSupprime;

    connect(cmdMedecins, &QPushButton::clicked, this, [this] { chooseList(ReferenceList::Practitioners); });
    connect(cmdMedDefaut, &QPushButton::clicked, this, [this] { chooseList(ReferenceList::DefaultPractitioner); });
    connect(cmdAccts, &QPushButton::clicked, this, [this] { chooseList(ReferenceList::DeliveryActs); });
    connect(cmdChir, &QPushButton::clicked, this, [this] { chooseList(ReferenceList::SurgicalActs); });
    connect(cmdMut, &QPushButton::clicked, this, [this] { chooseList(ReferenceList::MutualInsurers); });
    connect(tariffs, &QPushButton::clicked, this, &ReferenceListsEditor::tariffsWanted);
    connect(cmdQuitter, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdAjoute, &QPushButton::clicked, this, [this] { add(); });
    connect(cmdModif, &QPushButton::clicked, this, [this] { modify(); });
    connect(cmdSupprime, &QPushButton::clicked, this, &ReferenceListsEditor::remove);
    connect(m_entries, &QListWidget::itemDoubleClicked, this, [this] { selectEntry(); });

    resize(sizeHint().expandedTo(QSize(900, 560)));
}

void ReferenceListsEditor::closeEvent(QCloseEvent* event) {
    // Its own unsaved typing is settled first; then the tariff editor, taken along, is closed.
    if (!settleUnsavedChange()) {
        event->ignore();
        return;
    }
    Screen::closeEvent(event);
}

QStringList ReferenceListsEditor::boxTexts() const {
    QStringList texts{m_labelBox->text(), m_txtCcam->text(), m_txtTarifs->text()};
    for (const QLineEdit* box : m_txtMut)
        texts << box->text();
    return texts;
}

bool ReferenceListsEditor::hasUnsavedChange() const {
    // Without a label or a list there is nothing that could be saved.
    return m_list && !m_labelBox->text().isEmpty() && boxTexts() != m_clean;
}

bool ReferenceListsEditor::settleUnsavedChange() {
    if (!hasUnsavedChange())
        return true;
    switch (Dialogs::askOrCancel(this, QStringLiteral("Enregistrer les modifications de cette fiche ?"))) {
    case Dialogs::Choice::Yes: {
        // The entry last double-clicked in this list is changed; anything else typed is a new entry.
        const bool changing = m_shown && m_shown->list == *m_list && m_shown->label == m_remembered;
        return changing ? modify() : add();
    }
    case Dialogs::Choice::No:
        markClean();
        return true;
    case Dialogs::Choice::Cancel:
        break;
    }
    return false;
}

std::optional<QStringList> ReferenceListsEditor::readList(ReferenceList list, ReferenceOrder order,
                                                          const QString& failureText) {
    // The list goes through the shared result: the main window's record buttons follow it afterwards.
    std::shared_ptr<Store> store = m_database.store();
    Status s = store ? m_browsed.open(*store, BrowseQuery::reference(list, order))
                     : Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    QStringList labels;
    if (s)
        s = store->references().labels(list, order, &labels);
    if (!s) {
        Dialogs::warn(this, failureText + u'\n' + s.message);
        return std::nullopt;
    }
    return labels;
}

bool ReferenceListsEditor::fillList(QListWidget* box, ReferenceList list, ReferenceOrder order,
                                    const QString& failureText) {
    const auto labels = readList(list, order, failureText);
    if (!labels)
        return false;
    box->clear();
    box->addItems(*labels);
    return true;
}

void ReferenceListsEditor::chooseList(ReferenceList list) {
    const ListKind& kind = listKind(int(list));
    const bool acts = isActList(list);
    m_listFrame->setTitle(QString::fromUtf8(kind.title));
    m_codeFrame->setVisible(acts);
    m_insurerRatesFrame->setVisible(acts);
    m_actsCaption->setVisible(acts);
    m_help->setText(acts ? kActsHelp : kind.help);
    m_list = list;
    m_lblEspion->setText(QString::number(int(list)));
    const QString unread = QStringLiteral("La liste « %1 » n'a pas pu être lue.").arg(QString::fromUtf8(kind.title));
    if (acts) {
        // Slot k is the k-th insurer by label: its excess goes in column MUTk.
        if (const auto insurers = readList(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel, unread)) {
            m_insurers->clear();
            m_insurers->addItems(*insurers);
            for (int k = 0; k < 6; ++k)
                m_lblMut[k]->setText(k < insurers->size() ? insurers->at(k) : QString());
        }
    }
    fillList(m_entries, list, ReferenceOrder::ByLabel, unread);
    m_labelBox->setFocus();
}

bool ReferenceListsEditor::reopenDatabase(const QString& failureText) {
    const Status s = m_database.reopen();
    if (!s)
        Dialogs::warn(this, failureText + u'\n' + s.message);
    return s.ok();
}

void ReferenceListsEditor::selectEntry() {
    QListWidgetItem* item = m_entries->currentItem();
    if (!m_list || !item || !item->isSelected())
        return;
    const QString label = item->text();
    if (!settleUnsavedChange())
        return;
    showEntry(label);
}

void ReferenceListsEditor::showEntry(const QString& label) {
    m_remembered = label;
    m_labelBox->setText(label);
    if (!reopenDatabase(QStringLiteral("L'item « %1 » n'a pas pu être lu.").arg(label)))
        return;
    bool matched = false;
    BrowsedRecord record;
    Status s = seekStored(label, &matched, &record);
    if (!s) {
        Dialogs::warn(this, QStringLiteral("L'item « %1 » n'a pas pu être lu.\n%2").arg(label, s.message));
        return;
    }
    const auto* entry = std::get_if<ReferenceEntry>(&record);
    m_shown.reset();
    if (!matched || !entry) {
        markClean();
        return; // removed meanwhile: only the label is taken
    }
    m_shown = *entry;
    for (int k = 0; k < 6; ++k)
        m_txtMut[k]->setText(amountText(entry->excesses[size_t(k)]));
    m_txtCcam->setText(entry->code);
    m_txtTarifs->setText(amountText(entry->tariff));
    markClean();
}

QString ReferenceListsEditor::mutualName(int slot) const {
    const QString caption = m_lblMut[slot]->text().trimmed();
    const QString design = QStringLiteral("Mutuelle %1").arg(slot + 1);
    if (caption.isEmpty() || caption == QString::fromLatin1(kMutDesign[slot]))
        return design;
    return design + QStringLiteral(" (") + caption + u')';
}

bool ReferenceListsEditor::entryFromBoxes(ReferenceEntry* entry) {
    // Every amount box is checked before anything is written: an empty box stores no value, a
    // text that is not an amount stops the whole operation.
    auto amount = [&](QLineEdit* box, const QString& name, std::optional<Money>* value) {
        const QString text = box->text();
        if (text.trimmed().isEmpty()) {
            *value = std::nullopt;
            return true;
        }
        const auto m = Money::parse(text);
        if (!m || !m->inAmountRange()) {
            QString message =
                m ? QStringLiteral("Le montant saisi pour « %1 » doit être compris entre -10000000 et 10000000 € : "
                                   "« %2 ».")
                        .arg(name, text)
                  : QStringLiteral("Le montant saisi pour « %1 » n'est pas un montant valable : « %2 ».")
                        .arg(name, text);
            if (box->isVisibleTo(this))
                box->setFocus();
            else
                message += QStringLiteral("\n(Cette case apparaît avec les listes Accouchements et Chirurgie.)");
            Dialogs::warn(this, message + QStringLiteral("\nCorrigez-le ou videz la case : rien n'a été enregistré."));
            return false;
        }
        *value = *m;
        return true;
    };
    for (int k = 0; k < 6; ++k) {
        if (!amount(m_txtMut[k], mutualName(k), &entry->excesses[size_t(k)]))
            return false;
    }
    if (!amount(m_txtTarifs, QStringLiteral("Tarif"), &entry->tariff))
        return false;
    entry->label = m_labelBox->text();
    entry->code = m_txtCcam->text();
    return true;
}

void ReferenceListsEditor::resetBoxes() {
    m_labelBox->clear();
    for (QLineEdit* box : m_txtMut)
        box->setText(QStringLiteral("0"));
    m_txtCcam->clear();
    m_txtTarifs->setText(QStringLiteral("0"));
    m_labelBox->setFocus();
    markClean();
}

bool ReferenceListsEditor::applyChange(const ReferenceChange& change, const QString& failureText, bool* found) {
    *found = false;
    ReferenceTable& table = m_database.store()->references();
    MutualSlots::Plan plan;
    MutualSlots::Loss loss;
    Status s = table.slotPlan(change, &plan);
    if (s && plan.rewritesColumns())
        s = table.emptiedAmounts(plan, &loss);
    if (s && (plan.movesInsurers() || loss.acts > 0)) {
        // Amounts that would be lost are dropped only by a deliberate Yes.
        const auto byDefault = plan.losesAmounts() || loss.acts > 0 ? Dialogs::Default::No : Dialogs::Default::Yes;
        if (!Dialogs::ask(this, MutualSlots::question(plan, loss), byDefault))
            return false;
    }
    if (s)
        s = table.apply(change, plan, found);
    if (s.error == StoreError::Changed) {
        const QString again =
            change.kind == ReferenceChange::Kind::Modify
                ? QStringLiteral("Double-cliquez à nouveau sur l'item pour voir ses valeurs actuelles, puis refaites "
                                 "la modification.")
                : QStringLiteral("Choisissez de nouveau la liste pour la voir à jour, puis recommencez.");
        Dialogs::warn(this, failureText + u'\n' + s.message + u' ' + again);
        return false;
    }
    if (!s) {
        Dialogs::warn(this, failureText + u'\n' + s.message);
        return false;
    }
    if (plan.rewritesColumns())
        m_shown.reset(); // the amounts read at the last double-click have moved
    return true;
}

bool ReferenceListsEditor::typedEntry(const QString& noItem, const QString& noList, ReferenceEntry* entry) {
    if (m_labelBox->text().isEmpty()) {
        Dialogs::inform(this, noItem);
        return false;
    }
    if (!m_list) {
        Dialogs::inform(this, noList);
        return false;
    }
    entry->list = *m_list;
    return entryFromBoxes(entry);
}

// The browsed list reopened on the chosen list as stored, then the entry with this label sought.
Status ReferenceListsEditor::seekStored(const QString& label, bool* matched, BrowsedRecord* record) {
    Status s = m_browsed.open(*m_database.store(), BrowseQuery::reference(*m_list, ReferenceOrder::AsStored));
    if (s)
        s = m_browsed.findFirst(label, matched, record);
    return s;
}

bool ReferenceListsEditor::add() {
    ReferenceEntry entry;
    if (!typedEntry(QStringLiteral("Veuillez saisir un Item au préalable"),
                    QStringLiteral("Veuillez selectionner au préalable Médecin ou Actes."), &entry))
        return false;
    // Only acts show their code; a practitioner's holds their SIREN, which a new entry does not take
    // from whatever the hidden box last showed.
    if (!isActList(entry.list))
        entry.code.clear();
    const QString notAdded = QStringLiteral("L'item « %1 » n'a pas été ajouté.").arg(m_labelBox->text());
    if (!reopenDatabase(notAdded))
        return false;
    const Status s = m_browsed.open(*m_database.store(), BrowseQuery::reference(*m_list, ReferenceOrder::AsStored));
    if (!s) {
        Dialogs::warn(this, notAdded + u'\n' + s.message);
        return false;
    }
    bool added = false;
    if (!applyChange({ReferenceChange::Kind::Add, {}, entry}, notAdded, &added))
        return false;
    // Refilled as stored: the new entry shows where the database puts it, unsorted.
    fillList(m_entries, *m_list, ReferenceOrder::AsStored,
             QStringLiteral("L'item a été ajouté, mais la liste n'a pas pu être relue."));
    resetBoxes();
    return true;
}

bool ReferenceListsEditor::modify() {
    ReferenceEntry entry;
    if (!typedEntry(QStringLiteral("Veuillez selectionner un Item par Double Click"),
                    QStringLiteral("Veuillez selectionner au préalable Médecin u Actes."), &entry))
        return false;
    const QString notChanged = QStringLiteral("L'item « %1 » n'a pas été modifié.").arg(m_remembered);
    if (!reopenDatabase(notChanged))
        return false;
    bool matched = false;
    BrowsedRecord record;
    Status s = seekStored(m_remembered, &matched, &record);
    if (s && matched) {
        // Compared with the entry as it was read when double-clicked; with none read, as it is now.
        const ReferenceEntry shown = m_shown && m_shown->list == *m_list && m_shown->label == m_remembered
                                         ? *m_shown
                                         : std::get<ReferenceEntry>(record);
        if (!isActList(entry.list))
            entry.code = shown.code; // a practitioner's SIREN follows a new name
        if (!applyChange({ReferenceChange::Kind::Modify, shown, entry}, notChanged, &matched))
            return false;
    }
    if (!s) {
        Dialogs::warn(this, notChanged + u'\n' + s.message);
        return false;
    }
    if (!matched) {
        // Nothing to change: say so and keep what was typed rather than clear it as after a change.
        if (m_remembered.isEmpty())
            Dialogs::inform(this, QStringLiteral("Veuillez selectionner un Item par Double Click"));
        else
            Dialogs::inform(this, QStringLiteral("« %1 » ne figure pas dans la liste « %2 » : rien n'a été modifié.\n"
                                                 "Double-cliquez sur l'item à modifier dans cette liste, puis "
                                                 "cliquez sur « Modifier ».")
                                      .arg(m_remembered, m_listFrame->title()));
        return false;
    }
    m_shown.reset();
    fillList(m_entries, *m_list, ReferenceOrder::AsStored,
             QStringLiteral("L'item a été modifié, mais la liste n'a pas pu être relue."));
    resetBoxes();
    return true;
}

void ReferenceListsEditor::remove() {
    if (m_labelBox->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Veuillez selectionner un Item au préalable par Double Click."));
        return;
    }
    if (!m_list)
        return;
    // The item highlighted in the list is the one deleted, whatever the entry box holds.
    QListWidgetItem* item = m_entries->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString label = item->text();
    m_remembered = label;
    if (!Dialogs::ask(this, QStringLiteral("Supprimer « %1 » ?").arg(label), Dialogs::Default::No))
        return;
    const QString notDeleted = QStringLiteral("L'item « %1 » n'a pas été supprimé.").arg(label);
    if (!reopenDatabase(notDeleted))
        return;
    bool matched = false;
    BrowsedRecord record;
    Status s = seekStored(label, &matched, &record);
    if (!s) {
        Dialogs::warn(this, notDeleted + u'\n' + s.message);
        return;
    }
    if (!matched)
        return; // already gone
    ReferenceChange change{ReferenceChange::Kind::Remove, {}, {}};
    change.shown.list = *m_list;
    change.shown.label = label;
    if (!applyChange(change, notDeleted, &matched))
        return;
    // Sorted again: the list reads as the user left it, by label.
    fillList(m_entries, *m_list, ReferenceOrder::ByLabel,
             QStringLiteral("L'item a été supprimé, mais la liste n'a pas pu être relue."));
    resetBoxes();
}

} // namespace obs
