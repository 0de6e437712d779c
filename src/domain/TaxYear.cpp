// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/TaxYear.h"

#include "common/FrenchText.h"
#include "domain/ActsCsv.h"
#include "store/Store.h"

#include <algorithm>
#include <map>

namespace obs {

namespace {

// The same colleague however the name was typed: case and accents aside, as the listings match.
QString colleagueKey(const QString& name) {
    QString key;
    for (const char32_t c : name.trimmed().toUcs4())
        key += primaryFoldOf(c);
    return key;
}

QString euros(Money m) {
    return ReceiptsSheet::euroText(m);
}

} // namespace

TaxYear::TaxYear(const QString& practitioner, int year, ReceiptsBook book, Money threshold, JournalAnchor anchor)
    : m_practitioner(practitioner), m_year(year), m_sheet(std::move(book), false), m_threshold(threshold),
      m_anchor(std::move(anchor)) {
    for (const ReceiptLine& l : m_sheet.book().receipts) {
        Money& into = l.side == ReceiptSide::Fee ? m_fees : m_reversalsReceived;
        into = Money::fromUnits(into.units() + l.amount.units());
    }
    // By colleague, in the order of their names; the first spelling met names them.
    std::map<QString, Colleague> byKey;
    for (const ReceiptLine& l : m_sheet.book().outgoings) {
        Colleague& c = byKey[colleagueKey(l.payee)];
        if (c.name.isEmpty())
            c.name = l.payee.trimmed();
        c.amount = Money::fromUnits(c.amount.units() + l.amount.units());
        if (l.amount > Money())
            c.payments += 1;
    }
    std::vector<Colleague> all;
    for (auto& [key, c] : byKey)
        all.push_back(std::move(c));
    std::sort(all.begin(), all.end(),
              [](const Colleague& a, const Colleague& b) { return frenchCompare(a.name, b.name) < 0; });
    for (Colleague& c : all)
        (c.amount > m_threshold ? m_toDeclare : m_under).push_back(std::move(c));
}

Status TaxYear::read(Store& store, const QString& practitioner, int year, Money threshold, TaxYear* taxYear) {
    ReferenceEntry entry;
    bool found = false;
    Status s = store.references().find(ReferenceList::Practitioners, practitioner, &entry, &found);
    if (s && !found)
        return Status::failure(
            StoreError::RefusedValue,
            QStringLiteral("Le praticien « %1 » n'est pas dans la liste des praticiens.").arg(practitioner));
    if (!s)
        return s;
    ReceiptsBook book;
    JournalAnchor anchor;
    const auto starts = monthStarts(year);
    s = store.journal().receipts(practitioner, Period{starts[0], starts[12] - 1}, &book, &anchor);
    if (!s)
        return s;
    *taxYear = TaxYear(practitioner, year, std::move(book), threshold, std::move(anchor));
    return s;
}

QString TaxYear::closingText() const {
    return m_closed ? QStringLiteral("clos") : QStringLiteral("non clos");
}

QString TaxYear::anchorText() const {
    if (m_anchor.number == 0)
        return QStringLiteral("journal vide");
    return QStringLiteral("écriture n° %1, empreinte %2").arg(m_anchor.number).arg(m_anchor.hash);
}

QString TaxYear::beforeJournalText() const {
    return beforeJournalNotice(m_sheet.book(), QStringLiteral("ces montants"));
}

QString TaxYear::colleagueText(const Colleague& c) {
    return QStringLiteral("%1 : %2 (%3)")
        .arg(c.name, euros(c.amount),
             c.payments == 1 ? QStringLiteral("1 versement") : QStringLiteral("%1 versements").arg(c.payments));
}

QStringList TaxYear::lines() const {
    QStringList out{QStringLiteral("Année fiscale %1 : %2").arg(m_year).arg(m_practitioner),
                    QStringLiteral("Exercice %1 ; ancre du journal : %2").arg(closingText(), anchorText()),
                    QString(),
                    QStringLiteral("Recettes encaissées : %1").arg(euros(received())),
                    QStringLiteral("  dont honoraires : %1").arg(euros(m_fees)),
                    QStringLiteral("  dont rétrocessions reçues : %1").arg(euros(m_reversalsReceived))};
    for (const ReceiptsSheet::Total& t : receivedByMode())
        out << QStringLiteral("  %1 : %2 (%3)").arg(t.label, euros(t.amount)).arg(t.count);
    out << QStringLiteral("Honoraires rétrocédés : %1").arg(euros(paidOver()))
        << QStringLiteral("Montant net des recettes : %1").arg(euros(net())) << QString()
        << QStringLiteral("Rétrocessions à déclarer (plus de %1) :").arg(euros(m_threshold));
    for (const Colleague& c : m_toDeclare)
        out << QStringLiteral("  ") + colleagueText(c);
    if (m_toDeclare.empty())
        out << QStringLiteral("  aucune");
    out << QStringLiteral("Rétrocessions sous le seuil :");
    for (const Colleague& c : m_under)
        out << QStringLiteral("  ") + colleagueText(c);
    if (m_under.empty())
        out << QStringLiteral("  aucune");
    if (const QString notice = beforeJournalText(); !notice.isEmpty())
        out << QString() << notice;
    return out;
}

QByteArray TaxYear::csvDocument() const {
    auto row = [](const QString& section, const QString& label, const QString& count, const QString& amount) {
        return ActsCsv::line({ActsCsv::protectedText(section), ActsCsv::protectedText(label), count, amount});
    };
    QByteArray doc("\xEF\xBB\xBF");
    doc += ActsCsv::line(
        {QStringLiteral("Rubrique"), QStringLiteral("Libellé"), QStringLiteral("Nombre"), QStringLiteral("Montant")});
    doc += row(QStringLiteral("Praticien"), m_practitioner, QString(), QString());
    doc += row(QStringLiteral("Exercice"), QString::number(m_year), QString(), QString());
    doc += row(QStringLiteral("Clôture"), closingText(), QString(), QString());
    doc += row(QStringLiteral("Ancre du journal"), m_anchor.hash, QString::number(m_anchor.number), QString());
    const QString receivedTitle = QStringLiteral("Recettes encaissées");
    doc += row(receivedTitle, QStringLiteral("Total"), QString::number(m_sheet.book().receipts.size()),
               received().toFrenchFixed2());
    doc += row(receivedTitle, QStringLiteral("Honoraires"), QString(), m_fees.toFrenchFixed2());
    doc += row(receivedTitle, QStringLiteral("Rétrocessions reçues"), QString(), m_reversalsReceived.toFrenchFixed2());
    for (const ReceiptsSheet::Total& t : receivedByMode())
        doc += row(receivedTitle, t.label, QString::number(t.count), t.amount.toFrenchFixed2());
    doc += row(QStringLiteral("Honoraires rétrocédés"), QStringLiteral("Total"),
               QString::number(m_sheet.book().outgoings.size()), paidOver().toFrenchFixed2());
    doc += row(QStringLiteral("Montant net des recettes"), QStringLiteral("Total"), QString(), net().toFrenchFixed2());
    for (const Colleague& c : m_toDeclare)
        doc += row(QStringLiteral("Rétrocessions à déclarer"), c.name, QString::number(c.payments),
                   c.amount.toFrenchFixed2());
    for (const Colleague& c : m_under)
        doc += row(QStringLiteral("Rétrocessions sous le seuil"), c.name, QString::number(c.payments),
                   c.amount.toFrenchFixed2());
    doc += row(QStringLiteral("Seuil de déclaration"), QString(), QString(), m_threshold.toFrenchFixed2());
    if (const QString notice = beforeJournalText(); !notice.isEmpty())
        doc += row(QStringLiteral("Avant le journal"), notice, QString(), QString());
    return doc;
}

} // namespace obs
