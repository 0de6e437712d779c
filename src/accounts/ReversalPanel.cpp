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
#include "widgets/Controls.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace obs {

using accounts::bold;
using accounts::dateBox;
using accounts::typingCombo;
using controls::button;
using controls::label;
using controls::named;

namespace {

const QString kNoRatesFile = QStringLiteral("Le Fichier taux.cmt est introuvable ou non chargé.");
const QString kNoAmount =
    QStringLiteral("Pas de montant inscrit ou date saisie selon un mode incorrect. Veuillez corriger.");
const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirmReversal = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");
const QString kBreak = QStringLiteral("\r\n");

} // namespace

ReversalPanel::ReversalPanel(SharedDatabase& database, QWidget* parent)
    : QGroupBox(QStringLiteral("Reversements"), parent), m_database(database) {
    setObjectName(QStringLiteral("FrameReversements"));
    buildUi();
}

void ReversalPanel::buildUi() {
    auto* rv = new QVBoxLayout(this);

    auto* pair = new QHBoxLayout;
    auto* image1 = named<QLabel>(this, "Image1");
    image1->setPixmap(
        QPixmap(QStringLiteral(":/obsledger.png")).scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    image1->setFixedSize(40, 40);
    pair->addWidget(image1);
    pair->addSpacing(6);
    m_txtDate3 = dateBox(this, "TxtDate3", QStringLiteral("01/01/2004"));
    m_txtDate4 = dateBox(this, "TxtDate4", QStringLiteral("31/12/2010"));
    m_cmbPPrat2 = typingCombo(this, "CmbPPrat2");
    m_cmbPPrat1 = typingCombo(this, "CmbPPrat1");
    pair->addWidget(label(this, "Label10", QStringLiteral("Du")));
    pair->addWidget(m_txtDate3);
    pair->addWidget(label(this, "Label11", QStringLiteral("au")));
    pair->addWidget(m_txtDate4);
    pair->addSpacing(16);
    pair->addWidget(label(this, "Label6", QStringLiteral("Praticien ayant effectué l'acte ")));
    pair->addWidget(m_cmbPPrat2, 1);
    pair->addSpacing(8);
    pair->addWidget(label(this, "Label5", QStringLiteral("Pour ")));
    pair->addWidget(m_cmbPPrat1, 1);
    rv->addLayout(pair);

    auto* frames = new QHBoxLayout;
    rv->addLayout(frames, 1);

    auto* owedFrame = new QGroupBox(QStringLiteral("Reversements"), this);
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

    auto* ratesFrame = new QGroupBox(QStringLiteral("Taux des reversements"), this);
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

    auto* payFrame = new QGroupBox(QStringLiteral("Somme reversée ce jour"), this);
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
    m_txtDateRev->setText(frenchDate(QDate::currentDate()));
    return rates.found;
}

void ReversalPanel::setPractitioners(const QStringList& practitioners) {
    accounts::fillEmpty({m_cmbPPrat1, m_cmbPPrat2}, practitioners);
}

void ReversalPanel::practitionerChosen() {
    const QString a = m_cmbPPrat2->currentText();
    const QString b = m_cmbPPrat1->currentText();
    m_label9->setText(QStringLiteral("Total des actes pratiqués par le ") + a + QStringLiteral(" pour le ") + b);
    m_label7->setText(QStringLiteral("Somme dèja reversée par le ") + a + QStringLiteral(" au ") + b);
    m_cmdDoit->setText(a + QStringLiteral(" doit au ") + b);
    m_label12->setText(QStringLiteral("Somme reversée ce jour") + kBreak + QStringLiteral("par le ") + a + kBreak +
                       QStringLiteral("au ") + b);
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
        Dialogs::warn(this, QStringLiteral("Le taux de reversement %1 « %2 » doit être compris entre 0 et 100 ; le "
                                           "montant dû n'a pas été calculé.")
                                .arg(clinic ? QStringLiteral("à la clinique") : QStringLiteral("entre praticiens"),
                                     box->text()));
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
    m_label8->setText(value ? value->toFrench() + QStringLiteral(" €") : QStringLiteral("0"));
    m_lblDejaVerse->setText(paid ? paid->toFrench() + QStringLiteral(" €") : QStringLiteral("0"));
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
    const auto store = searchStore(this, m_database);
    if (!store)
        return;
    auto failed = [this](const Status& s) {
        Dialogs::warn(this, QStringLiteral("La somme reversée n'a pas été enregistrée.\n%1").arg(s.message));
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
    if (!Dialogs::ask(this, kConfirmReversal))
        return;
    // Added to what the act already holds, in one statement: an earlier payment recorded on the
    // same act stays counted as paid.
    bool changed = false;
    s = store->acts().addReversal(*number, dayNumberOf(*day), *sum, &changed);
    if (!s) {
        failed(s);
        return;
    }
    if (!changed) {
        Dialogs::inform(this, kNoReversal);
        return;
    }
    emit finished();
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
