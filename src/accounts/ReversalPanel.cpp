// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/ReversalPanel.h"

#include "accounts/AccountsControls.h"
#include "accounts/SearchPanel.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/RatesFile.h"
#include "domain/Reversal.h"
#include "store/SharedDatabase.h"
#include "widgets/AmountKeyFilter.h"
#include "widgets/Dialogs.h"
#include "widgets/PaymentModeBox.h"

#include "ui_ReversalPanel.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>

namespace obs {

namespace {

const QString kNoRatesFile = QStringLiteral("Le Fichier taux.cmt est introuvable ou non chargé.");
const QString kNoAmount =
    QStringLiteral("Pas de montant inscrit ou date saisie selon un mode incorrect. Veuillez corriger.");
const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirmReversal = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");
const QString kBreak = QStringLiteral("\r\n");

} // namespace

ReversalPanel::ReversalPanel(SharedDatabase& database, QWidget* parent)
    : QGroupBox(QStringLiteral("Reversements"), parent), m_ui(std::make_unique<Ui::ReversalPanel>()),
      m_database(database) {
    setObjectName(QStringLiteral("FrameReversements"));
    buildUi();
}

ReversalPanel::~ReversalPanel() = default;

void ReversalPanel::buildUi() {
    m_ui->setupUi(this);
    m_txtDate3 = m_ui->TxtDate3;
    m_txtDate4 = m_ui->TxtDate4;
    m_cmbPPrat1 = m_ui->CmbPPrat1;
    m_cmbPPrat2 = m_ui->CmbPPrat2;
    m_cmdDoit = m_ui->CmdDoit;
    m_reversedCaption = m_ui->label7;
    m_lblDejaVerse = m_ui->LblDejaVerse;
    m_actsTotalCaption = m_ui->Label9;
    m_actsTotal = m_ui->Label8;
    m_lblDoit = m_ui->LblDoit;
    m_lblDoitF = m_ui->LblDoitF;
    m_txtTauxClin = m_ui->TxtTauxClin;
    m_txtTauxPrat = m_ui->TxtTauxPrat;
    m_reversedTodayCaption = m_ui->Label12;
    m_txtDateRev = m_ui->TxtDateRev;
    m_txtSommeRev = m_ui->TxtSommeRev;
    m_lblSommeRev = m_ui->LblSommeRev;
    QPushButton* cmdModif = m_ui->CmdModif;
    QPushButton* cmdRev = m_ui->CmdRev;

    // Nothing is completed behind the user's back (MART must stay MART, not become MARTIN).
    for (QComboBox* c : {m_cmbPPrat1, m_cmbPPrat2})
        c->setCompleter(nullptr);
    // The rates file keeps each rate between double quotes.
    for (QLineEdit* e : {m_txtTauxClin, m_txtTauxPrat})
        AmountKeyFilter::install(e, AmountKeyFilter::Mode::NoQuote);
    AmountKeyFilter::install(m_txtSommeRev);
    fillPaymentModes(m_ui->CmbModeReversement);

    connect(m_cmbPPrat1, &QComboBox::currentTextChanged, this, &ReversalPanel::practitionerChosen);
    connect(m_cmbPPrat2, &QComboBox::currentTextChanged, this, &ReversalPanel::practitionerChosen);
    connect(m_cmdDoit, &QPushButton::clicked, this, &ReversalPanel::computeOwed);
    connect(m_txtSommeRev, &QLineEdit::textChanged, this, &ReversalPanel::sumTyped);
    connect(cmdRev, &QPushButton::clicked, this, &ReversalPanel::recordPayment);
    connect(cmdModif, &QPushButton::clicked, this, &ReversalPanel::saveRates);
}

bool ReversalPanel::loadRates() {
    const RatesFile::Read rates = RatesFile::read(RatesFile::path());
    if (rates.found) {
        m_txtTauxClin->setText(rates.rates.clinic);
        m_txtTauxPrat->setText(rates.rates.practitioner);
    }
    resetPayment();
    accounts::restorePeriod(m_txtDate3, m_txtDate4, Settings::PeriodOf::Reversal);
    return rates.found;
}

void ReversalPanel::setPractitioners(const QStringList& practitioners) {
    accounts::fillEmpty({m_cmbPPrat1, m_cmbPPrat2}, practitioners);
}

void ReversalPanel::practitionerChosen() {
    const QString a = m_cmbPPrat2->currentText();
    const QString b = m_cmbPPrat1->currentText();
    m_actsTotalCaption->setText(QStringLiteral("Total des actes pratiqués par le ") + a + QStringLiteral(" pour le ") +
                                b);
    m_reversedCaption->setText(QStringLiteral("Somme dèja reversée par le ") + a + QStringLiteral(" au ") + b);
    m_cmdDoit->setText(a + QStringLiteral(" doit au ") + b);
    m_reversedTodayCaption->setText(QStringLiteral("Somme reversée ce jour") + kBreak + QStringLiteral("par le ") + a +
                                    kBreak + QStringLiteral("au ") + b);
}

void ReversalPanel::computeOwed() {
    const QString b = m_cmbPPrat1->currentText();
    const QString a = m_cmbPPrat2->currentText();
    const auto first = parseFrenchDate(m_txtDate3->text());
    const auto last = parseFrenchDate(m_txtDate4->text());
    if (!first || !last) {
        Dialogs::inform(this, accounts::kBadDate);
        return;
    }
    accounts::rememberPeriod(m_txtDate3, m_txtDate4, Settings::PeriodOf::Reversal);
    // A figure too long to be read at all is out of range rather than no number.
    static const QRegularExpression figure(QStringLiteral("^\\s*[-+]?[0-9]+([.,][0-9]*)?\\s*$"));
    auto rateOf = [](const QLineEdit* box) {
        const auto rate = Money::parse(box->text());
        if (!rate && figure.match(box->text()).hasMatch())
            return std::optional<Money>(Money::fromEuros(101));
        return rate;
    };
    const auto clinicRate = rateOf(m_txtTauxClin);
    const auto practitionerRate = rateOf(m_txtTauxPrat);
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
    if (!clinicRate->inRateRange() || !practitionerRate->inRateRange()) {
        const bool clinic = !clinicRate->inRateRange();
        QLineEdit* box = clinic ? m_txtTauxClin : m_txtTauxPrat;
        Dialogs::warn(
            this, QStringLiteral("Le taux de reversement %1 « %2 » doit être compris entre 0 et 100 ; le "
                                 "montant dû n'a pas été calculé.")
                      .arg(clinic ? QStringLiteral("à la clinique") : QStringLiteral("entre praticiens"), box->text()));
        box->setFocus();
        box->selectAll();
        return;
    }
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    PairSums sums;
    const Status s = store->acts().pairSums(Period{dayNumberOf(*first), dayNumberOf(*last)}, b, a, &sums);
    if (!s) {
        Dialogs::warn(this, QStringLiteral("Le montant dû n'a pas pu être calculé.\n%1").arg(s.message));
        return;
    }
    const auto& value = sums.value;
    const auto& paid = sums.reversed;
    m_actsTotal->setText(value ? value->toEuroText() : QStringLiteral("0"));
    m_lblDejaVerse->setText(paid ? paid->toEuroText() : QStringLiteral("0"));
    const Reversal::OwedCaptions owed =
        Reversal::owedCaptions(value.value_or(Money()), paid.value_or(Money()), *clinicRate, *practitionerRate);
    m_lblDoit->setText(owed.euros);
    m_lblDoitF->setText(owed.francs);
}

void ReversalPanel::sumTyped(const QString& text) {
    if (const auto sum = Money::parse(text))
        m_lblSommeRev->setText(sum->inAmountRange() ? francsCaption(*sum) : QString());
}

void ReversalPanel::recordPayment() {
    const auto day = parseFrenchDate(m_txtDateRev->text());
    const QString sumText = m_txtSommeRev->text();
    if (!day || sumText.isEmpty()) {
        Dialogs::inform(this, kNoAmount);
        return;
    }
    const auto sum = Money::parse(sumText);
    if (sum && !sum->inAmountRange()) {
        Dialogs::warn(this, QStringLiteral("La somme reversée « %1 » doit être comprise entre -10000000 et 10000000 € "
                                           "; rien n'a été enregistré.")
                                .arg(sumText));
        m_txtSommeRev->setFocus();
        m_txtSommeRev->selectAll();
        return;
    }
    if (!sum || !sum->inWholeCents()) {
        Dialogs::warn(this, sum ? QStringLiteral("La somme reversée « %1 » a plus de deux décimales : une somme se "
                                                 "saisit au centime près. Corrigez-la ; rien n'a été enregistré.")
                                      .arg(sumText)
                                : QStringLiteral("La somme reversée « %1 » n'est pas un montant valide. Corrigez-la ; "
                                                 "rien n'a été enregistré.")
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
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    auto failed = [this](const Status& s) {
        // A server gone away says itself whether the sum was recorded.
        Dialogs::warn(this, s.error == StoreError::ConnectionLost
                                ? s.message
                                : QStringLiteral("La somme reversée n'a pas été enregistrée.\n%1").arg(s.message));
    };
    std::optional<qint64> number;
    Status s = store->acts().latestOfPair(b, a, &number);
    if (!s) {
        failed(s);
        return;
    }
    if (!number) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    // Recording the sum is the save the user asked for: Enter records it.
    if (!Dialogs::ask(this, kConfirmReversal, Dialogs::Default::Yes))
        return;
    // Added to what the act already holds, in one statement: an earlier payment recorded on the
    // same act stays counted as paid.
    bool changed = false;
    s = store->acts().addReversal(*number, dayNumberOf(*day), *sum, &changed,
                                  chosenPaymentMode(m_ui->CmbModeReversement));
    if (!s) {
        failed(s);
        return;
    }
    if (!changed) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    // The next sum is paid today by transfer unless told otherwise.
    resetPayment();
    emit finished();
}

void ReversalPanel::resetPayment() {
    m_txtDateRev->setText(frenchDate(QDate::currentDate()));
    resetPaymentMode(m_ui->CmbModeReversement);
}

void ReversalPanel::saveRates() {
    QString error;
    if (!RatesFile::write(RatesFile::path(), {m_txtTauxClin->text(), m_txtTauxPrat->text()}, &error)) {
        Dialogs::warn(this,
                      QStringLiteral("Les taux de reversement n'ont pas été enregistrés dans le fichier %1 : %2.\n"
                                     "Les taux saisis restent affichés ; corrigez le problème puis recommencez.")
                          .arg(RatesFile::path(), error));
        return;
    }
    emit finished();
}

} // namespace obs
