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
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace obs {

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

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()) {
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
    m_text1 = m_ui->Text1;
    QPushButton* c1 = m_ui->Command1;
    QPushButton* c2 = m_ui->Command2;
    QPushButton* c3 = m_ui->Command3;
    QPushButton* c4 = m_ui->Command4;
    QPushButton* cmdEnreg = m_ui->CmdEnreg;
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
