#include "domain/DemoData.h"

#include "common/DayNumber.h"
#include "common/Money.h"

#include <QRandomGenerator>

namespace obs {

namespace {

struct Act {
    const char* ccam;
    const char* label;
    const char* tariff;
    int mut[6]; // excess in whole euros reimbursed by the insurer of each slot
};

const char* const kPractitioners[] = {"Dr BERTRAND", "Dr D'ORVAL", "Dr FONTAINE", "Dr LEFEBVRE", "Dr MARTIN"};
const char* const kInsurers[] = {"AG2R La Mondiale",  "Harmonie Mutuelle", "Malakoff Humanis", "MGEN",
                                 "Mutuelle Générale", "Swiss Life"};

const Act kDeliveries[] = {
    {"JQGD010", "Accouchement unique par voie naturelle chez une primipare", "313,5", {150, 120, 100, 80, 60, 200}},
    {"JQGD012", "Accouchement unique par voie naturelle chez une multipare", "313,5", {150, 120, 100, 80, 60, 200}},
    {"JQGA002", "Césarienne programmée", "313,5", {200, 150, 120, 100, 80, 250}},
    {"JQGA004", "Césarienne en urgence au cours du travail", "369,2", {200, 150, 120, 100, 80, 250}},
    {"JQGD004", "Accouchement gémellaire par voie naturelle", "438,9", {250, 200, 150, 120, 100, 300}},
    {"JQGD002", "Délivrance artificielle", "41,8", {40, 30, 20, 20, 10, 50}},
    {"JQGD013", "Révision utérine", "41,8", {40, 30, 20, 20, 10, 50}},
    {"JMCA006", "Suture de déchirure périnéale complète", "83,6", {60, 40, 40, 30, 20, 80}},
};

const Act kSurgery[] = {
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

QVariant money(const char* text) {
    return moneyValue(Money::parse(QString::fromUtf8(text)));
}

} // namespace

Status fillDemoReferences(Database& db) {
    Status s = db.executeRaw(QStringLiteral("BEGIN"));
    auto add = [&](int cat, const QString& text, const Act* act) {
        if (!s)
            return;
        Fields f{{QStringLiteral("NUMEROS"), cat}, {QStringLiteral("TEXTE"), text}};
        if (act) {
            f.emplace_back(QStringLiteral("CCAM"), QString::fromUtf8(act->ccam));
            f.emplace_back(QStringLiteral("TARIFS"), money(act->tariff));
            for (int k = 0; k < 6; ++k)
                f.emplace_back(QStringLiteral("MUT%1").arg(k + 1), moneyValue(Money::fromEuros(act->mut[k])));
        }
        s = db.insert(QStringLiteral("MEMO"), f);
    };
    for (const char* p : kPractitioners)
        add(1, QString::fromUtf8(p), nullptr);
    add(5, QStringLiteral("Dr MARTIN"), nullptr);
    for (const char* m : kInsurers)
        add(6, QString::fromUtf8(m), nullptr);
    for (const Act& a : kDeliveries)
        add(2, QString::fromUtf8(a.label), &a);
    for (const Act& a : kSurgery)
        add(3, QString::fromUtf8(a.label), &a);
    if (!s) {
        db.executeRaw(QStringLiteral("ROLLBACK"));
        return s;
    }
    return db.executeRaw(QStringLiteral("COMMIT"));
}

Status fillDemoActs(Database& db, int count, const QDate& from, const QDate& to, quint32 seed) {
    QRandomGenerator rng(seed);
    const qint64 d0 = dayNumberOf(from), d1 = dayNumberOf(to);
    Status s = db.executeRaw(QStringLiteral("BEGIN"));
    if (!s)
        return s;
    const QString insert = QStringLiteral(
        "INSERT INTO ACTES (Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF, CCAM2, CCAM3, CCAM4, CCAM5, CCAM6, "
        "PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    const int nPrat = int(std::size(kPractitioners));
    int i = 0;
    s = db.executeMany(insert, [&](QVariantList* out) {
        if (i++ >= count)
            return false;
        const bool surgery = rng.bounded(4) == 0;
        const Act& act = surgery ? kSurgery[rng.bounded(int(std::size(kSurgery)))]
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
            const Act& sec = kDeliveries[5 + rng.bounded(3)];
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
        QVariantList& binds = *out;
        binds = {QString::fromUtf8(kSurnames[rng.bounded(int(std::size(kSurnames)))]),
                 QString::fromUtf8(kFirstNames[rng.bounded(int(std::size(kFirstNames)))]),
                 QVariant::fromValue<qint64>(day),
                 suit,
                 done,
                 QString::fromUtf8(act.label),
                 QString::fromUtf8(act.ccam),
                 nf};
        for (const QString& l : secondary)
            binds << l;
        binds << moneyValue(total) << moneyValue(de) << moneyValue(secu) << moneyValue(compl_) << moneyValue(payeDe)
              << QVariant() << QVariant();
        return true;
    });
    if (!s) {
        db.executeRaw(QStringLiteral("ROLLBACK"));
        return s;
    }
    return db.executeRaw(QStringLiteral("COMMIT"));
}

} // namespace obs
