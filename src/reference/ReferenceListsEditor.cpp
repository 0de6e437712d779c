#include "reference/ReferenceListsEditor.h"

#include "common/Money.h"
#include "reference/TariffEditor.h"
#include "store/SharedStore.h"
#include "store/SqlText.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"

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

// The list read for the screen, sorted by label.
QString sortedQuery(int category) {
    return QStringLiteral("SELECT*FROM MEMO WHERE NUMEROS = %1 ").arg(category) + QStringLiteral("ORDER by TEXTE");
}

// The rows of a category as the database returns them, where rows are added, changed and removed.
QString rowsQuery(int category) {
    return QStringLiteral("SELECT*FROM MEMO WHERE NUMEROS =") + QString::number(category);
}

QString labelCondition(const QString& label) {
    return QStringLiteral("TEXTE='") + sqlEscape(label) + u'\'';
}

// An amount column shown in a box: the short French form, empty when the column has no value.
QString amountText(const Row& row, const QString& column) {
    if (row.isNull(column))
        return QString();
    if (const auto m = row.money(column))
        return m->toFrench();
    return row.text(column);
}

} // namespace

ReferenceListsEditor::ReferenceListsEditor(QWidget* parent)
    : Screen(QStringLiteral("Form8"), parent), m_ui(std::make_unique<Ui::ReferenceListsEditor>()) {
    setWindowTitle(QStringLiteral("Items mémorisés"));
    buildUi();
    m_label11->setText(kOpeningHelp);
    openDatabaseAtLoad(this, true, true);
}

ReferenceListsEditor::~ReferenceListsEditor() = default;

void ReferenceListsEditor::buildUi() {
    m_ui->setupUi(this);
    m_frame1 = m_ui->Frame1;
    m_frame2 = m_ui->Frame2;
    m_frame4 = m_ui->Frame4;
    m_label3 = m_ui->Label3;
    m_label11 = m_ui->Label11;
    m_lblEspion = m_ui->LblEspion;
    m_text1 = m_ui->Text1;
    m_list1 = m_ui->List1;
    m_list2 = m_ui->List2;
    m_txtCcam = m_ui->TxtCCAM;
    m_txtTarifs = m_ui->TxtTARIFS;
    m_txtMut = {m_ui->TxtMut1, m_ui->TxtMut2, m_ui->TxtMut3, m_ui->TxtMut4, m_ui->TxtMut5, m_ui->TxtMut6};
    m_lblMut = {m_ui->LblMut1, m_ui->LblMut2, m_ui->LblMut3, m_ui->LblMut4, m_ui->LblMut5, m_ui->LblMut6};
    for (QLineEdit* box : m_txtMut)
        AmountKeyFilter::install(box);
    // Room for the long act labels of the catalogue ("Accouchement unique par voie naturelle chez une ...").
    m_list1->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 64);
    QPushButton* cmdMedecins = m_ui->CmdMedecins;
    QPushButton* cmdMedDefaut = m_ui->CmdMed_Defaut;
    QPushButton* cmdAccts = m_ui->CmdAccts;
    QPushButton* cmdChir = m_ui->CmdChir;
    QPushButton* cmdMut = m_ui->CmdMut;
    QPushButton* command1 = m_ui->Command1;
    QPushButton* cmdQuitter = m_ui->CmdQuitter;
    QPushButton* cmdAjoute = m_ui->CmdAjoute;
    QPushButton* cmdModif = m_ui->CmdModif;
    QPushButton* cmdSupprime = m_ui->CmdSupprime;

    connect(cmdMedecins, &QPushButton::clicked, this, [this] { chooseList(1); });
    connect(cmdMedDefaut, &QPushButton::clicked, this, [this] { chooseList(5); });
    connect(cmdAccts, &QPushButton::clicked, this, [this] { chooseList(2); });
    connect(cmdChir, &QPushButton::clicked, this, [this] { chooseList(3); });
    connect(cmdMut, &QPushButton::clicked, this, [this] { chooseList(6); });
    connect(command1, &QPushButton::clicked, this, [] { TariffEditor::open(); });
    connect(cmdQuitter, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdAjoute, &QPushButton::clicked, this, &ReferenceListsEditor::add);
    connect(cmdModif, &QPushButton::clicked, this, &ReferenceListsEditor::modify);
    connect(cmdSupprime, &QPushButton::clicked, this, &ReferenceListsEditor::remove);
    connect(m_list1, &QListWidget::itemDoubleClicked, this, [this] { selectEntry(); });

    resize(sizeHint().expandedTo(QSize(900, 560)));
}

std::optional<int> ReferenceListsEditor::currentCategory() const {
    bool ok = false;
    const int n = m_lblEspion->text().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

void ReferenceListsEditor::closeEvent(QCloseEvent* event) {
    TariffEditor::closeShared();
    Screen::closeEvent(event);
}

bool ReferenceListsEditor::fillList(QListWidget* list, const QString& sql, const QString& failureText) {
    SharedStore& store = SharedStore::instance();
    Status s = store.openCursor(sql);
    QStringList labels;
    if (s) {
        Cursor* cursor = store.cursor();
        while (s && cursor->hasCurrent()) {
            Row row;
            s = cursor->current(&row);
            if (s) {
                labels << row.text(QStringLiteral("TEXTE"));
                s = cursor->moveNext();
            }
        }
    }
    if (!s) {
        Dialogs::warn(this, failureText + u'\n' + s.message);
        return false;
    }
    list->clear();
    list->addItems(labels);
    return true;
}

void ReferenceListsEditor::chooseList(int category) {
    const ListKind& kind = listKind(category);
    const bool acts = isActList(category);
    m_frame1->setTitle(QString::fromUtf8(kind.title));
    m_frame2->setVisible(acts);
    m_frame4->setVisible(acts);
    m_label3->setVisible(acts);
    m_label11->setText(acts ? kActsHelp : kind.help);
    m_lblEspion->setText(QString::number(category));
    const QString unread = QStringLiteral("La liste « %1 » n'a pas pu être lue.").arg(QString::fromUtf8(kind.title));
    if (acts) {
        // Slot k is the k-th insurer by label: its excess goes in column MUTk.
        if (fillList(m_list2, sortedQuery(6), unread)) {
            for (int k = 0; k < 6; ++k)
                m_lblMut[k]->setText(k < m_list2->count() ? m_list2->item(k)->text() : QString());
        }
    }
    fillList(m_list1, sortedQuery(category), unread);
    m_text1->setFocus();
}

bool ReferenceListsEditor::reopenDatabase(const QString& failureText) {
    SharedStore& store = SharedStore::instance();
    const Status s = store.openDatabase(store.databasePath());
    if (!s)
        Dialogs::warn(this, failureText + u'\n' + s.message);
    return s.ok();
}

void ReferenceListsEditor::selectEntry() {
    const auto category = currentCategory();
    QListWidgetItem* item = m_list1->currentItem();
    if (!category || !item || !item->isSelected())
        return;
    const QString label = item->text();
    m_remembered = label;
    m_text1->setText(label);
    if (!reopenDatabase(QStringLiteral("L'item « %1 » n'a pas pu être lu.").arg(label)))
        return;
    SharedStore& store = SharedStore::instance();
    bool matched = false;
    Status s = store.openCursor(rowsQuery(*category));
    if (s)
        s = store.cursor()->findFirst(labelCondition(label), &matched);
    Row row;
    if (s && matched)
        s = store.cursor()->current(&row);
    if (!s) {
        Dialogs::warn(this, QStringLiteral("L'item « %1 » n'a pas pu être lu.\n%2").arg(label, s.message));
        return;
    }
    if (!matched)
        return; // removed meanwhile: only the label is taken
    for (int k = 0; k < 6; ++k)
        m_txtMut[k]->setText(amountText(row, QStringLiteral("MUT%1").arg(k + 1)));
    m_txtCcam->setText(row.text(QStringLiteral("CCAM")));
    m_txtTarifs->setText(amountText(row, QStringLiteral("TARIFS")));
}

QString ReferenceListsEditor::mutualName(int slot) const {
    const QString caption = m_lblMut[slot]->text().trimmed();
    const QString design = QStringLiteral("Mutuelle %1").arg(slot + 1);
    if (caption.isEmpty() || caption == QString::fromLatin1(kMutDesign[slot]))
        return design;
    return design + QStringLiteral(" (") + caption + u')';
}

bool ReferenceListsEditor::fieldsFromBoxes(Fields* fields) {
    // Every amount box is checked before anything is written: an empty box stores no value, a
    // text that is not an amount stops the whole operation.
    auto amount = [&](QLineEdit* box, const QString& name, QVariant* value) {
        const QString text = box->text();
        if (text.trimmed().isEmpty()) {
            *value = QVariant();
            return true;
        }
        const auto m = Money::parse(text);
        if (!m) {
            QString message =
                QStringLiteral("Le montant saisi pour « %1 » n'est pas un montant valable : « %2 ».").arg(name, text);
            if (box->isVisibleTo(this))
                box->setFocus();
            else
                message += QStringLiteral("\n(Cette case apparaît avec les listes Accouchements et Chirurgie.)");
            Dialogs::warn(this, message + QStringLiteral("\nCorrigez-le ou videz la case : rien n'a été enregistré."));
            return false;
        }
        *value = moneyValue(*m);
        return true;
    };
    QVariant muts[6];
    for (int k = 0; k < 6; ++k) {
        if (!amount(m_txtMut[k], mutualName(k), &muts[k]))
            return false;
    }
    QVariant tariff;
    if (!amount(m_txtTarifs, QStringLiteral("Tarif"), &tariff))
        return false;
    fields->emplace_back(QStringLiteral("TEXTE"), m_text1->text());
    for (int k = 0; k < 6; ++k)
        fields->emplace_back(QStringLiteral("MUT%1").arg(k + 1), muts[k]);
    fields->emplace_back(QStringLiteral("CCAM"), m_txtCcam->text());
    fields->emplace_back(QStringLiteral("TARIFS"), tariff);
    return true;
}

void ReferenceListsEditor::resetBoxes() {
    m_text1->clear();
    for (QLineEdit* box : m_txtMut)
        box->setText(QStringLiteral("0"));
    m_txtCcam->clear();
    m_txtTarifs->setText(QStringLiteral("0"));
    m_text1->setFocus();
}

void ReferenceListsEditor::add() {
    if (m_text1->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Veuillez saisir un Item au préalable"));
        return;
    }
    const auto category = currentCategory();
    if (!category) {
        Dialogs::inform(this, QStringLiteral("Veuillez selectionner au préalable Médecin ou Actes."));
        return;
    }
    Fields fields{{QStringLiteral("NUMEROS"), *category}};
    if (!fieldsFromBoxes(&fields))
        return;
    const QString notAdded = QStringLiteral("L'item « %1 » n'a pas été ajouté.").arg(m_text1->text());
    if (!reopenDatabase(notAdded))
        return;
    SharedStore& store = SharedStore::instance();
    const QString sql = rowsQuery(*category);
    Status s = store.openCursor(sql);
    if (s)
        s = store.cursor()->append(fields);
    if (!s) {
        Dialogs::warn(this, notAdded + u'\n' + s.message);
        return;
    }
    // Refilled from the same query: the new row shows where the database puts it, unsorted.
    fillList(m_list1, sql, QStringLiteral("L'item a été ajouté, mais la liste n'a pas pu être relue."));
    resetBoxes();
}

void ReferenceListsEditor::modify() {
    if (m_text1->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Veuillez selectionner un Item par Double Click"));
        return;
    }
    const auto category = currentCategory();
    if (!category) {
        Dialogs::inform(this, QStringLiteral("Veuillez selectionner au préalable Médecin u Actes."));
        return;
    }
    Fields fields;
    if (!fieldsFromBoxes(&fields))
        return;
    const QString notChanged = QStringLiteral("L'item « %1 » n'a pas été modifié.").arg(m_remembered);
    if (!reopenDatabase(notChanged))
        return;
    SharedStore& store = SharedStore::instance();
    const QString sql = rowsQuery(*category);
    bool matched = false;
    Status s = store.openCursor(sql);
    if (s)
        s = store.cursor()->findFirst(labelCondition(m_remembered), &matched);
    if (s && matched)
        s = store.cursor()->edit(fields);
    if (!s) {
        Dialogs::warn(this, notChanged + u'\n' + s.message);
        return;
    }
    if (!matched) {
        // Nothing to change: say so and keep what was typed rather than clear it as after a change.
        if (m_remembered.isEmpty())
            Dialogs::inform(this, QStringLiteral("Veuillez selectionner un Item par Double Click"));
        else
            Dialogs::inform(this, QStringLiteral("« %1 » ne figure pas dans la liste « %2 » : rien n'a été modifié.\n"
                                                 "Double-cliquez sur l'item à modifier dans cette liste, puis "
                                                 "cliquez sur « Modifier ».")
                                      .arg(m_remembered, m_frame1->title()));
        return;
    }
    fillList(m_list1, sql, QStringLiteral("L'item a été modifié, mais la liste n'a pas pu être relue."));
    resetBoxes();
}

void ReferenceListsEditor::remove() {
    if (m_text1->text().isEmpty()) {
        Dialogs::inform(this, QStringLiteral("Veuillez selectionner un Item au préalable par Double Click."));
        return;
    }
    const auto category = currentCategory();
    if (!category)
        return;
    // The item highlighted in the list is the one deleted, whatever the entry box holds.
    QListWidgetItem* item = m_list1->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString label = item->text();
    m_remembered = label;
    const QString notDeleted = QStringLiteral("L'item « %1 » n'a pas été supprimé.").arg(label);
    if (!reopenDatabase(notDeleted))
        return;
    SharedStore& store = SharedStore::instance();
    const QString sql = rowsQuery(*category);
    bool matched = false;
    Status s = store.openCursor(sql);
    if (s)
        s = store.cursor()->findFirst(labelCondition(label), &matched);
    if (s && !matched)
        return; // already gone
    if (s)
        s = store.cursor()->deleteCurrent();
    if (!s) {
        Dialogs::warn(this, notDeleted + u'\n' + s.message);
        return;
    }
    fillList(m_list1, sql, QStringLiteral("L'item a été supprimé, mais la liste n'a pas pu être relue."));
    resetBoxes();
}

} // namespace obs
