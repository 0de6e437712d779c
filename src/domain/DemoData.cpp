#include "domain/DemoData.h"

#include "common/DayNumber.h"
#include "common/Money.h"
#include "store/Bulk.h"

#include <QRandomGenerator>

#include <algorithm>

namespace obs {

namespace {

struct DemoAct {
    const char* ccam;
    const char* label;
    const char* tariff;
    int mut[6]; // excess in whole euros reimbursed by the insurer of each slot
};

const char* const kPractitioners[] = {"Dr BERTRAND", "Dr D'ORVAL", "Dr FONTAINE", "Dr LEFEBVRE", "Dr MARTIN"};
const char* const kInsurers[] = {"AG2R La Mondiale",  "Harmonie Mutuelle", "Malakoff Humanis", "MGEN",
                                 "Mutuelle Générale", "Swiss Life"};

const DemoAct kDeliveries[] = {
    {"JQGD010", "Accouchement unique par voie naturelle chez une primipare", "313,5", {150, 120, 100, 80, 60, 200}},
    {"JQGD012", "Accouchement unique par voie naturelle chez une multipare", "313,5", {150, 120, 100, 80, 60, 200}},
    {"JQGA002", "Césarienne programmée", "313,5", {200, 150, 120, 100, 80, 250}},
    {"JQGA004", "Césarienne en urgence au cours du travail", "369,2", {200, 150, 120, 100, 80, 250}},
    {"JQGD004", "Accouchement gémellaire par voie naturelle", "438,9", {250, 200, 150, 120, 100, 300}},
    {"JQGD002", "Délivrance artificielle", "41,8", {40, 30, 20, 20, 10, 50}},
    {"JQGD013", "Révision utérine", "41,8", {40, 30, 20, 20, 10, 50}},
    {"JMCA006", "Suture de déchirure périnéale complète", "83,6", {60, 40, 40, 30, 20, 80}},
};

const DemoAct kSurgery[] = {
    {"JKFA015", "Hystérectomie totale par laparotomie", "239,49", {250, 200, 150, 150, 100, 300}},
    {"JKFC005", "Hystérectomie totale par cœlioscopie", "351,98", {300, 250, 200, 150, 120, 350}},
    {"JJFC010", "Kystectomie ovarienne par cœlioscopie", "193,07", {150, 120, 100, 80, 60, 200}},
    {"JKFE002", "Ablation d'un polype de l'endomètre par hystéroscopie", "118,09", {80, 60, 50, 40, 30, 100}},
    {"JJPC003", "Ligature des trompes par cœlioscopie", "124,01", {80, 60, 50, 40, 30, 100}},
    {"QEFA004", "Tumorectomie du sein", "150,26", {120, 100, 80, 60, 50, 150}},
};

const char* const kSurnames[] = {
    "BERNARD", "BLANC", "BONNET",   "BOYER",   "CHEVALIER", "D'ALMEIDA", "DAVID",   "DUBOIS",  "DUPONT",
    "DURAND",  "FAURE", "FOURNIER", "GARNIER", "GIRARD",    "GUERIN",    "HENRY",   "LAMBERT", "LEFEBVRE",
    "LEFÈVRE", "LEGER", "LÉGER",    "LEMAIRE", "MARTIN",    "MARTINEZ",  "MERCIER", "MOREAU",  "MOREL",
    "NICOLAS", "PETIT", "RICHARD",  "ROBERT",  "ROUSSEAU",  "ROUX",      "SIMON",   "THOMAS",  "VINCENT"};
const char* const kFirstNames[] = {"Camille",  "Chloé",   "Claire", "Élise",  "Emma",    "Hélène", "Inès",
                                   "Julie",    "Laura",   "Léa",    "Lucie",  "Manon",   "Marie",  "Mathilde",
                                   "Nathalie", "Pauline", "Sarah",  "Sophie", "Valérie", "Zoé"};

std::optional<Money> money(const char* text) {
    return Money::parse(QString::fromUtf8(text));
}

} // namespace

std::vector<ReferenceEntry> demoReferences() {
    std::vector<ReferenceEntry> out;
    auto add = [&](ReferenceList list, const QString& text, const DemoAct* act) {
        ReferenceEntry e;
        e.list = list;
        e.label = text;
        if (act) {
            e.code = QString::fromUtf8(act->ccam);
            e.tariff = money(act->tariff);
            for (int k = 0; k < 6; ++k)
                e.excesses[k] = Money::fromEuros(act->mut[k]);
        }
        out.push_back(std::move(e));
    };
    for (const char* p : kPractitioners)
        add(ReferenceList::Practitioners, QString::fromUtf8(p), nullptr);
    add(ReferenceList::DefaultPractitioner, QStringLiteral("Dr MARTIN"), nullptr);
    for (const char* m : kInsurers)
        add(ReferenceList::MutualInsurers, QString::fromUtf8(m), nullptr);
    for (const DemoAct& a : kDeliveries)
        add(ReferenceList::DeliveryActs, QString::fromUtf8(a.label), &a);
    for (const DemoAct& a : kSurgery)
        add(ReferenceList::SurgicalActs, QString::fromUtf8(a.label), &a);
    return out;
}

ActSource demoActs(int count, const QDate& from, const QDate& to, quint32 seed) {
    const qint64 d0 = dayNumberOf(from), d1 = dayNumberOf(to);
    const int nPrat = int(std::size(kPractitioners));
    return [=, rng = QRandomGenerator(seed), i = 0](Act* out) mutable {
        if (i++ >= count)
            return false;
        const bool surgery = rng.bounded(4) == 0;
        const DemoAct& act = surgery ? kSurgery[rng.bounded(int(std::size(kSurgery)))]
                                     : kDeliveries[rng.bounded(5)]; // principal deliveries only
        const qint64 day = d0 + (d1 > d0 ? qint64(rng.bounded(quint32(d1 - d0 + 1))) : 0);
        const QString suit = QString::fromUtf8(kPractitioners[rng.bounded(nPrat)]);
        // Most acts are done by the practitioner who follows the patient; some by a colleague standing in.
        const QString done = rng.bounded(5) == 0 ? QString::fromUtf8(kPractitioners[rng.bounded(nPrat)]) : suit;
        QString nf;
        Money prix = Money::parse(QString::fromUtf8(act.tariff)).value_or(Money());
        const int night = rng.bounded(10);
        if (!surgery && night < 3) {
            nf = QStringLiteral("N");
            prix = prix.plus(Money::parse(QStringLiteral("25,15")).value()).value();
        } else if (!surgery && night == 3) {
            nf = QStringLiteral("F");
            prix = prix.plus(Money::parse(QStringLiteral("19,06")).value()).value();
        }
        QStringList secondary;
        if (!surgery && rng.bounded(3) == 0) {
            const DemoAct& sec = kDeliveries[5 + rng.bounded(3)];
            const Money half = Money::parse(QString::fromUtf8(sec.tariff)).value().half();
            secondary << QString::fromUtf8(sec.ccam) + QStringLiteral("  ") + QString::fromUtf8(sec.label) + u' ' +
                             half.toFrench();
            prix = prix.plus(half).value();
        }
        while (secondary.size() < 5)
            secondary << QString();
        const Money total = prix.roundedToEuro();
        const int mutSlot = rng.bounded(8); // 6 and 7: no mutual insurer
        const Money de = mutSlot < 6 ? Money::fromEuros(act.mut[mutSlot]) : Money();
        const int state = rng.bounded(10);
        Money secu, compl_, payeDe;
        if (state >= 2) { // eight in ten are paid
            secu = total.percent(Money::fromEuros(70)).value().roundedTo2();
            compl_ = total.minus(secu).value();
            payeDe = state >= 4 ? de : Money();
        }
        Act a;
        a.surname = QString::fromUtf8(kSurnames[rng.bounded(int(std::size(kSurnames)))]);
        a.firstName = QString::fromUtf8(kFirstNames[rng.bounded(int(std::size(kFirstNames)))]);
        a.date = day;
        a.followedBy = suit;
        a.performedBy = done;
        a.act = QString::fromUtf8(act.label);
        a.code = QString::fromUtf8(act.ccam);
        a.nightOrHoliday = nf;
        for (int k = 0; k < 5; ++k)
            a.secondary[size_t(k)] = secondary[k];
        a.price = total;
        a.excess = de;
        a.paidSecu = secu;
        a.paidComplementary = compl_;
        a.paidExcess = payeDe;
        *out = std::move(a);
        return true;
    };
}

JournaledActSource demoJournaledActs(int count, const QDate& from, const QDate& to, quint32 seed, bool withReversals) {
    const qint64 today = dayNumberOf(QDate::currentDate());
    // The acts are those of demoActs; what happened to them afterwards draws on its own generator.
    return [acts = demoActs(count, from, to, seed), rng = QRandomGenerator(seed ^ 0x5eedu), today,
            withReversals](Act* act, std::vector<JournalEntry>* entries) mutable {
        if (!acts(act))
            return false;
        const qint64 day = act->date.value_or(today);
        auto after = [&](int least, int most) {
            return std::min(today, std::max(day, day + least + qint64(rng.bounded(most - least + 1))));
        };
        if (withReversals && act->performedBy != act->followedBy && rng.bounded(2) == 0) {
            // What the colleague standing in pays over for the follow-up: a third of the act.
            act->reversed = act->price.value_or(Money()).percent(Money::fromEuros(30)).value_or(Money()).roundedTo2();
            act->reversalDate = after(30, 90);
        }
        Act entered = *act;
        entered.paidSecu = entered.paidComplementary = entered.paidExcess = Money();
        entered.reversed = std::nullopt;
        entered.reversalDate = std::nullopt;
        JournalEntry created;
        created.kind = JournalKind::Created;
        created.changes = actChanges(std::nullopt, entered);
        entries->assign(1, created);
        auto paid = [&](Payer payer, const std::optional<Money>& amount, PaymentMode mode, qint64 on) {
            if (!amount || *amount == Money())
                return;
            JournalEntry e;
            e.kind = JournalKind::Payment;
            e.payer = payerCode(payer);
            e.performer = act->performedBy;
            e.mode = mode;
            e.receivedOn = on;
            e.amount = amount;
            // Now and then a sum typed too high, put right by a negative entry a few days later.
            if (rng.bounded(25) == 0) {
                const Money over = Money::fromEuros(10);
                e.amount = amount->plus(over).value_or(*amount);
                entries->push_back(e);
                e.amount = Money().minus(over).value_or(Money());
                e.receivedOn = std::min(today, on + 3);
            }
            entries->push_back(std::move(e));
        };
        paid(Payer::Secu, act->paidSecu, PaymentMode::Transfer, after(15, 45));
        paid(Payer::Complementary, act->paidComplementary, PaymentMode::Transfer, after(20, 60));
        constexpr PaymentMode kByPatient[] = {PaymentMode::Cheque, PaymentMode::Cash, PaymentMode::Card};
        paid(Payer::Patient, act->paidExcess, kByPatient[rng.bounded(3)], after(0, 10));
        if (act->reversed) {
            JournalEntry e;
            e.kind = JournalKind::ReversalPaid;
            e.payer = act->performedBy;
            e.payee = act->followedBy;
            e.performer = act->performedBy;
            e.mode = rng.bounded(3) == 0 ? PaymentMode::Cheque : PaymentMode::Transfer;
            e.receivedOn = act->reversalDate;
            e.amount = act->reversed;
            entries->push_back(std::move(e));
        }
        return true;
    };
}

Status fillDemoReferences(const QString& location) {
    return appendRows(location, demoReferences());
}

Status fillDemoActs(const QString& location, int count, const QDate& from, const QDate& to, quint32 seed) {
    return appendJournaledRows(location, {}, demoJournaledActs(count, from, to, seed, false));
}

} // namespace obs
