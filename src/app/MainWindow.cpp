#include "app/MainWindow.h"

#include "about/AboutBox.h"
#include "accounts/SearchWindow.h"
#include "backup/BackupWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "entry/ActEntryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "store/SharedStore.h"
#include "store/SqlText.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Controls.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace obs {

using controls::button;
using controls::label;
using controls::named;
using controls::picture;

namespace {

MainWindow* g_instance = nullptr;

const QString kAtRestHeading = QStringLiteral("Comptabilité entre médecins");
const QString kSelectFirst = QStringLiteral("Selectionnez un nom au préalable.");
const QString kMainQuery = QStringLiteral("SELECT*FROM ACTES ORDER BY NOM, PRENOM");

// An amount box's text as a number: the amount when it reads as one.
std::optional<Money> boxAmount(const QLineEdit* box) {
    return Money::parse(box->text());
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    g_instance = this;
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Obsledger"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();
}

MainWindow::~MainWindow() {
    if (g_instance == this)
        g_instance = nullptr;
}

MainWindow* MainWindow::instance() {
    return g_instance;
}

void MainWindow::buildUi() {
    auto* root = new QVBoxLayout(this);

    // Heading
    auto* head = new QHBoxLayout;
    head->addWidget(picture(this, "Image4", 48));
    m_label12 = label(this, "Label12", kAtRestHeading);
    QFont hf = m_label12->font();
    hf.setPointSizeF(hf.pointSizeF() * 1.5);
    hf.setBold(true);
    m_label12->setFont(hf);
    head->addWidget(m_label12, 1);
    m_lblNumero = label(this, "LblNumero", QString());
    m_lblNumero->setMinimumWidth(80);
    m_lblNumero->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblNumero->setToolTip(QStringLiteral("Numéro de la fiche"));
    head->addWidget(m_lblNumero);
    root->addLayout(head);

    auto* columns = new QHBoxLayout;
    root->addLayout(columns, 1);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    // Patient
    auto* patient = new QGroupBox(this);
    auto* pg = new QGridLayout(patient);
    m_txtNom = named<QLineEdit>(patient, "TxtNom");
    m_txtPrenom = named<QLineEdit>(patient, "TxtPrenom");
    m_txtDate = named<QLineEdit>(patient, "TxtDate");
    m_txtDate->setMaximumWidth(120);
    pg->addWidget(label(patient, "Label1", QStringLiteral("Madame")), 0, 0);
    pg->addWidget(m_txtNom, 0, 1, 1, 2);
    pg->addWidget(label(patient, "Label2", QStringLiteral("Prénom")), 1, 0);
    pg->addWidget(m_txtPrenom, 1, 1, 1, 2);
    pg->addWidget(label(patient, "Label34", QStringLiteral("Date de l'acte")), 2, 0);
    pg->addWidget(m_txtDate, 2, 1);
    pg->addWidget(label(patient, "Label18", QStringLiteral("JJ/MM/AAAA")), 2, 2);
    pg->setColumnStretch(2, 1);
    left->addWidget(patient);

    // Act
    auto* act = new QGroupBox(QStringLiteral("Acte"), this);
    auto* ag = new QGridLayout(act);
    m_txtActe = named<QLineEdit>(act, "TxtActe");
    m_txtActe->setMinimumWidth(380); // act labels are long
    m_txtCotation = named<QLineEdit>(act, "TxtCotation");
    m_lstActes = named<QListWidget>(act, "LstActes");
    for (int i = 0; i < 5; ++i)
        m_lstActes->addItem(QString());
    m_lstActes->setFixedHeight(m_lstActes->sizeHintForRow(0) * 5 + 2 * m_lstActes->frameWidth() + 4);
    m_txtOp = named<QLineEdit>(act, "TxtOp");
    m_txtOp->setMaximumWidth(60);
    m_txtEuros = named<QLineEdit>(act, "TxtEuros");
    m_txtDE = named<QLineEdit>(act, "TxtDE");
    for (QLineEdit* e : {m_txtEuros, m_txtDE})
        e->setMaximumWidth(120);
    m_lblTotal = label(act, "LblTotal", QString());
    m_lblTotalF = label(act, "LblTotalF", QString());
    QFont tf = m_lblTotal->font();
    tf.setBold(true);
    m_lblTotal->setFont(tf);
    int r = 0;
    ag->addWidget(label(act, "Label17", QStringLiteral("Acte principal")), r, 0);
    ag->addWidget(m_txtActe, r++, 1, 1, 3);
    ag->addWidget(label(act, "Label3", QStringLiteral("Cotation CCAM")), r, 0);
    ag->addWidget(m_txtCotation, r++, 1, 1, 3);
    ag->addWidget(label(act, "Label11", QStringLiteral("Actes secondaires")), r, 0, Qt::AlignTop);
    ag->addWidget(m_lstActes, r++, 1, 1, 3);
    ag->addWidget(label(act, "Label13", QStringLiteral("Férié/Nuit")), r, 0);
    ag->addWidget(m_txtOp, r++, 1);
    ag->addWidget(label(act, "Label4", QStringLiteral("Montant")), r, 0);
    ag->addWidget(m_txtEuros, r, 1);
    ag->addWidget(label(act, "Label14", QStringLiteral("€")), r++, 2);
    ag->addWidget(label(act, "Label9", QStringLiteral("DE")), r, 0);
    ag->addWidget(m_txtDE, r, 1);
    ag->addWidget(label(act, "Label15", QStringLiteral("€")), r++, 2);
    ag->addWidget(label(act, "Label10", QStringLiteral("Montant Total")), r, 0);
    ag->addWidget(m_lblTotal, r, 1);
    ag->addWidget(m_lblTotalF, r++, 2, 1, 2);

    auto* prat = new QGroupBox(act);
    auto* prg = new QGridLayout(prat);
    m_txtPrat1 = named<QLineEdit>(prat, "TxtPrat1");
    m_txtPrat2 = named<QLineEdit>(prat, "TxtPrat2");
    prg->addWidget(label(prat, "Label32", QStringLiteral("Praticien assurant le suivi")), 0, 0);
    prg->addWidget(m_txtPrat1, 0, 1);
    prg->addWidget(label(prat, "Label33", QStringLiteral("Praticien ayant éffectué l'acte")), 1, 0);
    prg->addWidget(m_txtPrat2, 1, 1);
    ag->addWidget(prat, r++, 0, 1, 4);
    ag->setColumnStretch(3, 1);
    left->addWidget(act);
    left->addStretch(1);

    // Payments
    auto* pay = new QGroupBox(QStringLiteral("Paiement"), this);
    auto* payg = new QGridLayout(pay);
    m_txtPSecu = named<QLineEdit>(pay, "TxtPSecu");
    m_txtPCompl = named<QLineEdit>(pay, "TxtPCompl");
    m_txtPDE = named<QLineEdit>(pay, "TxtPDE");
    m_lblPTotal = label(pay, "LblPTotal", QString());
    m_lblPTotal->setFont(tf);
    payg->addWidget(label(pay, "Label5", QStringLiteral("Payé Sécu")), 0, 0);
    payg->addWidget(m_txtPSecu, 0, 1);
    payg->addWidget(label(pay, "Label16", QStringLiteral("€")), 0, 2);
    payg->addWidget(label(pay, "Label6", QStringLiteral("Payé Complémentaire")), 1, 0);
    payg->addWidget(m_txtPCompl, 1, 1);
    payg->addWidget(label(pay, "Label19", QStringLiteral("€")), 1, 2);
    payg->addWidget(label(pay, "Label7", QStringLiteral("Payé DE")), 2, 0);
    payg->addWidget(m_txtPDE, 2, 1);
    payg->addWidget(label(pay, "Label20", QStringLiteral("€")), 2, 2);
    payg->addWidget(label(pay, "Label8", QStringLiteral("Total")), 3, 0);
    payg->addWidget(m_lblPTotal, 3, 1, 1, 2);
    auto* hint =
        label(pay, "Label21", QStringLiteral("Mettre à jour après réglement et Enregistrer les modifications"));
    hint->setWordWrap(true);
    payg->addWidget(hint, 4, 0, 1, 3);
    auto* cmdEnreg = button(pay, "CmdEnreg", QStringLiteral("&Enregistrer les modifications"));
    auto* cmdSup = button(pay, "CmdSup", QStringLiteral("&Supprimer cette fiche"));
    payg->addWidget(cmdEnreg, 5, 0, 1, 3);
    payg->addWidget(cmdSup, 6, 0, 1, 3);
    right->addWidget(pay);

    // Search and record buttons
    auto* search = new QGroupBox(QStringLiteral("Recherche des Dossiers"), this);
    auto* sg = new QGridLayout(search);
    m_text1 = named<QLineEdit>(search, "Text1");
    m_text1->setPlaceholderText(QStringLiteral("Nom de la patiente"));
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(picture(search, "Picture1", 32));
    searchRow->addWidget(m_text1, 1);
    sg->addLayout(searchRow, 0, 0, 1, 4);
    auto* c1 = button(search, "Command1", QStringLiteral("&Debut"));
    auto* c3 = button(search, "Command3", QStringLiteral("&<"));
    auto* c4 = button(search, "Command4", QStringLiteral("&>"));
    auto* c2 = button(search, "Command2", QStringLiteral("&Fin"));
    sg->addWidget(c1, 1, 0);
    sg->addWidget(c3, 1, 1);
    sg->addWidget(c4, 1, 2);
    sg->addWidget(c2, 1, 3);
    right->addWidget(search);

    auto* screens = new QGroupBox(this);
    auto* scg = new QGridLayout(screens);
    auto* cmdCreer = button(screens, "CmdCreer", QStringLiteral("&Creer un acte"));
    auto* cmdRech = button(screens, "CmdRecherche", QStringLiteral("&Recherche et Reversements"));
    auto* cmdActes = button(screens, "CmdActes", QStringLiteral("Praticiens et Cotation des actes"));
    auto* cmd5 = button(screens, "Command5", QStringLiteral("Sauvegardes"));
    auto* cmd6 = button(screens, "Command6", QStringLiteral("A Propos"));
    auto* cmdFermer = button(screens, "CmdFermer", QStringLiteral("&Fermer et Quitter"));
    scg->addWidget(cmdCreer, 0, 0, 1, 2);
    scg->addWidget(cmdRech, 1, 0, 1, 2);
    scg->addWidget(cmdActes, 2, 0, 1, 2);
    scg->addWidget(cmd5, 3, 0);
    scg->addWidget(cmd6, 3, 1);
    scg->addWidget(picture(screens, "Image1", 40), 4, 0, Qt::AlignLeft);
    scg->addWidget(cmdFermer, 4, 1);
    right->addWidget(screens);
    right->addStretch(1);

    for (QLineEdit* box : {m_txtEuros, m_txtDE, m_txtPSecu, m_txtPCompl, m_txtPDE})
        AmountKeyFilter::install(box);

    connect(m_text1, &QLineEdit::textChanged, this, &MainWindow::searchByName);
    connect(c1, &QPushButton::clicked, this, [this] { moveRecord(Move::First); });
    connect(c2, &QPushButton::clicked, this, [this] { moveRecord(Move::Last); });
    connect(c3, &QPushButton::clicked, this, [this] { moveRecord(Move::Previous); });
    connect(c4, &QPushButton::clicked, this, [this] { moveRecord(Move::Next); });
    connect(m_txtDE, &QLineEdit::textChanged, this, &MainWindow::recomputeTotalFromBoxes);
    for (QLineEdit* box : {m_txtPSecu, m_txtPCompl, m_txtPDE})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::recomputePayments);
    connect(cmdEnreg, &QPushButton::clicked, this, &MainWindow::save);
    connect(cmdSup, &QPushButton::clicked, this, &MainWindow::remove);
    connect(cmdCreer, &QPushButton::clicked, this, [this] { openScreen(m_entry); });
    connect(cmdActes, &QPushButton::clicked, this, [this] { openScreen(m_reference); });
    connect(cmdRech, &QPushButton::clicked, this, [this] { openScreen(m_search); });
    connect(cmd5, &QPushButton::clicked, this, &MainWindow::openBackup);
    connect(cmd6, &QPushButton::clicked, this, [this] { openScreen(m_about, false); });
    connect(cmdFermer, &QPushButton::clicked, this, &MainWindow::close);
}

bool MainWindow::load() {
    return openDatabaseAtLoad(this, true, true) == OpenOutcome::Opened;
}

void MainWindow::searchByName(const QString& text) {
    if (text.isEmpty())
        return;
    SharedStore& store = SharedStore::instance();
    const Status opened = store.openCursor(kMainQuery);
    if (!opened) {
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(opened.message));
        return;
    }
    bool matched = false;
    const Status found = store.cursor()->findFirst(QStringLiteral("NOM>='") + sqlEscape(text) + u'\'', &matched);
    if (!found) {
        Dialogs::warn(this, QStringLiteral("La recherche n'a pas pu être faite.\n%1").arg(found.message));
        return;
    }
    if (!matched) {
        Dialogs::inform(this, QStringLiteral("Ce Nom n'existe pas"));
        return;
    }
    Row row;
    if (store.cursor()->current(&row))
        showRow(row);
}

void MainWindow::moveRecord(Move move) {
    Cursor* cursor = SharedStore::instance().cursor();
    if (!cursor)
        return;
    Status s;
    switch (move) {
    case Move::First:
        s = cursor->moveFirst();
        break;
    case Move::Last:
        s = cursor->moveLast();
        break;
    case Move::Previous:
        s = cursor->movePrevious();
        if (s && cursor->bof())
            s = cursor->moveFirst();
        break;
    case Move::Next:
        s = cursor->moveNext();
        if (s && cursor->eof())
            s = cursor->moveLast();
        break;
    }
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::inform(this, QStringLiteral("Pas de Patient enregistré"));
        return;
    }
    if (!s)
        return; // a closed database or another failure: the display stays as it was
    Row row;
    if (cursor->current(&row))
        showRow(row);
}

bool MainWindow::showRow(const Row& row) {
    // Rows of a reference list have no act number: showing them fails and nothing changes.
    if (!row.has(QStringLiteral("NUMINT")) || !row.has(QStringLiteral("Nom")))
        return false;
    const QString date = storedDateText(row.value(QStringLiteral("Date")));
    m_lblNumero->setText(row.text(QStringLiteral("NUMINT")));
    m_txtNom->setText(row.text(QStringLiteral("Nom")));
    m_txtPrenom->setText(row.text(QStringLiteral("Prenom")));
    m_txtDate->setText(date);
    m_txtActe->setText(row.text(QStringLiteral("Acte")));
    m_txtCotation->setText(row.text(QStringLiteral("CCAM1")));
    m_txtOp->setText(row.text(QStringLiteral("NF")));
    for (int i = 0; i < 5; ++i) {
        const QString line = row.text(QStringLiteral("CCAM%1").arg(i + 2));
        if (i < m_lstActes->count())
            m_lstActes->item(i)->setText(line);
        else
            m_lstActes->addItem(line);
    }
    m_txtPrat1->setText(row.text(QStringLiteral("MEDSUIT")));
    m_txtPrat2->setText(row.text(QStringLiteral("MEDACTE")));
    const auto prix = row.money(QStringLiteral("PRIX"));
    const auto de = row.money(QStringLiteral("DE"));
    m_txtEuros->setText(prix ? prix->roundedTo2().toFrench() : QString());
    m_txtDE->setText(frenchAmountText(de));
    m_txtPSecu->setText(frenchAmountText(row.money(QStringLiteral("PAYESECU"))));
    m_txtPCompl->setText(frenchAmountText(row.money(QStringLiteral("PAYECOMPLE"))));
    m_txtPDE->setText(frenchAmountText(row.money(QStringLiteral("PAYEDE"))));
    m_label12->setText(QStringLiteral("Acte pour M. ") + row.text(QStringLiteral("Nom")) + u' ' +
                       row.text(QStringLiteral("Prenom")) + QStringLiteral(" du ") + date);
    setTotalCaption((de.value_or(Money()) + prix.value_or(Money())).toFrench() + QStringLiteral(" €"));
    return true;
}

void MainWindow::setTotalCaption(const QString& caption) {
    m_lblTotal->setText(caption);
    if (caption.isEmpty())
        return; // the francs keep their last figure
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
        setTotalCaption((*euros + *de).toFrench() + QStringLiteral(" €"));
}

void MainWindow::recomputePayments() {
    m_lblPTotal->clear();
    Money sum;
    for (const QLineEdit* box : {m_txtPSecu, m_txtPCompl, m_txtPDE})
        sum += boxAmount(box).value_or(Money());
    m_lblPTotal->setText(sum.toFrench() + QStringLiteral(" €"));
}

void MainWindow::clearRecord() {
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
}

void MainWindow::save() {
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment modifier cette Fiche ?")))
        return;
    SharedStore& store = SharedStore::instance();
    bool numberOk = false;
    const qint64 number = m_lblNumero->text().toLongLong(&numberOk);
    if (!numberOk || !store.database()) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    Status s;
    auto record =
        Cursor::open(store.database(), QStringLiteral("SELECT*FROM ACTES WHERE NUMINT=") + QString::number(number), &s);
    Row stored;
    if (record)
        s = record->current(&stored);
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    if (!s) {
        Dialogs::warn(this,
                      QStringLiteral("La fiche n'a pas pu être lue ; rien n'a été enregistré.\n%1").arg(s.message));
        return;
    }

    // Every value is checked before anything is written: a refused box leaves the record whole.
    Fields fields;
    const QString dateText = m_txtDate->text();
    if (const auto d = parseFrenchDate(dateText)) {
        fields.emplace_back(QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(*d)));
    } else if (dateText != storedDateText(stored.value(QStringLiteral("Date")))) {
        Dialogs::warn(this, QStringLiteral("La date de l'acte « %1 » n'est pas une date valide. Saisissez-la sous la "
                                           "forme JJ/MM/AAAA. Rien n'a été enregistré.")
                                .arg(dateText));
        m_txtDate->setFocus();
        m_txtDate->selectAll();
        return;
    }
    fields.emplace_back(QStringLiteral("Acte"), m_txtActe->text());
    fields.emplace_back(QStringLiteral("MEDSUIT"), m_txtPrat1->text());
    fields.emplace_back(QStringLiteral("MEDACTE"), m_txtPrat2->text());
    fields.emplace_back(QStringLiteral("CCAM1"), m_txtCotation->text());
    fields.emplace_back(QStringLiteral("NF"), m_txtOp->text());
    for (int i = 0; i < 5; ++i) {
        const QString line = i < m_lstActes->count() ? m_lstActes->item(i)->text() : QString();
        fields.emplace_back(QStringLiteral("CCAM%1").arg(i + 2), line);
    }
    const struct {
        QLineEdit* box;
        const char* column;
        const char* caption;
    } amounts[] = {{m_txtEuros, "PRIX", "Montant"},
                   {m_txtDE, "DE", "DE"},
                   {m_txtPSecu, "PAYESECU", "Payé Sécu"},
                   {m_txtPCompl, "PAYECOMPLE", "Payé Complémentaire"},
                   {m_txtPDE, "PAYEDE", "Payé DE"}};
    for (const auto& a : amounts) {
        const QString text = a.box->text();
        std::optional<Money> m = text.trimmed().isEmpty() ? std::optional<Money>(Money()) : Money::parse(text);
        if (!m) {
            Dialogs::warn(this, QStringLiteral("Le montant « %1 » n'est pas un nombre valide : « %2 ». Corrigez-le ; "
                                               "rien n'a été enregistré.")
                                    .arg(QString::fromUtf8(a.caption), text));
            a.box->setFocus();
            a.box->selectAll();
            return;
        }
        fields.emplace_back(QString::fromLatin1(a.column), moneyValue(*m));
    }
    fields.emplace_back(QStringLiteral("Nom"), m_txtNom->text());
    fields.emplace_back(QStringLiteral("Prenom"), m_txtPrenom->text());

    s = record->edit(fields);
    if (s.error == StoreError::NoCurrentRecord) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    if (!s) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas été modifiée.\n%1").arg(s.message));
        return;
    }
    Dialogs::inform(this, QStringLiteral("Fiche modifiée"));
}

void MainWindow::remove() {
    SharedStore& store = SharedStore::instance();
    store.setDatabasePath(Settings::databasePath());
    const QString path = store.databasePath();
    bool numberOk = false;
    const qint64 number = m_lblNumero->text().toLongLong(&numberOk);
    if (!numberOk) {
        Dialogs::inform(this, kSelectFirst);
        return;
    }
    if (!Dialogs::ask(this, QStringLiteral("Voulez vous vraiment SUPPRIMER ce DOSSIER ?")))
        return;
    Status s = store.openDatabase(path);
    if (!s) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas été supprimée.\n%1").arg(s.message));
        return;
    }
    auto record =
        Cursor::open(store.database(), QStringLiteral("SELECT*FROM ACTES WHERE NUMINT=") + QString::number(number), &s);
    if (record)
        s = record->deleteCurrent();
    if (!s && s.error != StoreError::NoCurrentRecord) {
        Dialogs::warn(this, QStringLiteral("La fiche n'a pas été supprimée.\n%1").arg(s.message));
        return;
    }
    // A record already deleted elsewhere is gone all the same: the display is cleared as after a deletion.
    clearRecord();
    if (store.openDatabase(path))
        store.openCursor(kMainQuery);
}

template <class T> void MainWindow::openScreen(QPointer<T>& slot, bool hideMain) {
    if (!slot) {
        slot = new T();
        connect(slot.data(), &Screen::closed, this, &MainWindow::screenClosed);
    }
    if (endRequested())
        return;
    slot->show();
    slot->raise();
    slot->activateWindow();
    if (hideMain)
        hide();
}

void MainWindow::openBackup() {
    // The file must be free to be copied or replaced.
    SharedStore::instance().closeDatabase();
    openScreen(m_backup);
}

void MainWindow::screenClosed() {
    if (m_ending)
        return;
    if (sender() == m_about.data() && isVisible())
        return;
    if (sender() == m_backup.data() && !SharedStore::instance().database()) {
        if (!load())
            return;
    }
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Ending the program closes every screen; nothing is asked or saved.
    m_ending = true;
    event->accept();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isWindow())
            w->close();
    }
    QCoreApplication::quit();
}

} // namespace obs
