// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ReceiptsSheet.h"

#include "common/DayNumber.h"
#include "domain/ActsCsv.h"
#include "domain/YearStatementSheet.h"

#include <map>
#include <set>

namespace obs {

namespace {

Money add(Money a, Money b) {
    return Money::fromUnits(a.units() + b.units());
}

QString dayText(const StoredDay& day) {
    return day ? frenchDate(dateOfDayNumber(*day)) : QString();
}

QString modeText(const std::optional<PaymentMode>& mode) {
    return mode ? paymentModeLabel(*mode) : QString();
}

// What an outgoing or an opening entry paid over counts for in a total of receipts.
Money counted(const ReceiptLine& l) {
    return l.side == ReceiptSide::ReversalPaid ? Money::fromUnits(-l.amount.units()) : l.amount;
}

} // namespace

ReceiptsSheet::ReceiptsSheet(ReceiptsBook book, bool withNames) : m_book(std::move(book)), m_withNames(withNames) {
    std::map<qint64, Total> months; // year * 12 + month - 1
    std::array<Total, kPaymentModes.size() + 1> modes;
    // The lines come by day: a day's date is worked out once.
    StoredDay lastDay;
    Total* month = nullptr;
    for (const ReceiptLine& l : m_book.receipts) {
        m_total = add(m_total, l.amount);
        if (m_byDay.empty() || l.day != lastDay) {
            lastDay = l.day;
            m_byDay.push_back({dayText(l.day), 0, Money()});
            const QDate date = dateOfDayNumber(l.day.value_or(0));
            month = &months[qint64(date.year()) * 12 + date.month() - 1];
            if (month->label.isEmpty())
                month->label = monthLabel(l.day.value_or(0));
        }
        m_byDay.back().count += 1;
        m_byDay.back().amount = add(m_byDay.back().amount, l.amount);
        month->count += 1;
        month->amount = add(month->amount, l.amount);
        Total& mode = modes[l.mode ? std::size_t(*l.mode) : kPaymentModes.size()];
        mode.count += 1;
        mode.amount = add(mode.amount, l.amount);
    }
    for (auto& [key, month] : months)
        m_byMonth.push_back(month);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        if (modes[i].count == 0)
            continue;
        modes[i].label =
            i < kPaymentModes.size() ? paymentModeLabel(kPaymentModes[i]) : QStringLiteral("Mode non précisé");
        m_byMode.push_back(modes[i]);
    }
    for (const ReceiptLine& l : m_book.outgoings)
        m_outgoing = add(m_outgoing, l.amount);
    for (const ReceiptLine& l : m_book.openings)
        m_opening = add(m_opening, counted(l));
}

QString ReceiptsSheet::beforeJournalText() const {
    return beforeJournalNotice(m_book, QStringLiteral("ce livre"));
}

QStringList ReceiptsSheet::header() const {
    QStringList h{QStringLiteral("Date"), QStringLiteral("N° d'acte")};
    if (m_withNames)
        h << QStringLiteral("Patiente");
    h << QStringLiteral("Acte") << QStringLiteral("Payeur") << QStringLiteral("Mode") << QStringLiteral("Montant");
    return h;
}

QStringList ReceiptsSheet::cells(const ReceiptLine& l) const {
    QStringList c{l.day ? dayText(l.day) : QStringLiteral("Reprise"), QString::number(l.act)};
    if (m_withNames)
        c << (l.surname + u' ' + l.firstName).trimmed();
    c << (l.actDeleted ? l.actLabel + QStringLiteral(" (acte supprimé)") : l.actLabel).trimmed() << payerText(l)
      << modeText(l.mode) << euroText(l.day ? l.amount : counted(l));
    return c;
}

QString ReceiptsSheet::payerText(const ReceiptLine& l) {
    switch (l.side) {
    case ReceiptSide::Fee:
        break;
    case ReceiptSide::ReversalReceived:
        return QStringLiteral("Rétrocession de ") + l.payer;
    case ReceiptSide::ReversalPaid:
        return QStringLiteral("Rétrocession à ") + l.payee;
    }
    return payerLabelOf(l.payer);
}

QString ReceiptsSheet::euroText(Money amount) {
    QString t = accountingEuroText(amount);
    t.replace(QChar(kThousandsSeparator), u' ');
    t.replace(QChar(0x00A0), u' ');
    return t;
}

QString ReceiptsSheet::monthLabel(qint64 day) {
    const QDate d = dateOfDayNumber(day);
    return YearStatementSheet::monthName(d.month()) + u' ' + QString::number(d.year());
}

QByteArray ReceiptsSheet::csvDocument() const {
    auto exported = [&](const ReceiptLine& l) {
        QStringList c = cells(l);
        for (QString& f : c)
            f = ActsCsv::protectedText(f);
        // Figures as a spreadsheet takes them: decimal comma, nothing else.
        c[amountColumn()] = (l.day ? l.amount : counted(l)).toFrenchFixed2();
        return c;
    };
    auto total = [](const QString& label, Money amount) {
        return ActsCsv::line({ActsCsv::protectedText(label), amount.toFrenchFixed2()});
    };
    QByteArray doc("\xEF\xBB\xBF");
    doc += ActsCsv::line(header());
    for (const ReceiptLine& l : m_book.receipts)
        doc += ActsCsv::line(exported(l));
    doc += total(QStringLiteral("Total des recettes"), m_total);
    doc += ActsCsv::line({});
    doc += ActsCsv::line({QStringLiteral("Rétrocessions versées")});
    doc += ActsCsv::line(header());
    for (const ReceiptLine& l : m_book.outgoings)
        doc += ActsCsv::line(exported(l));
    doc += total(QStringLiteral("Total des rétrocessions versées"), m_outgoing);
    doc += ActsCsv::line({});
    doc += ActsCsv::line({QStringLiteral("Reprises (sans date de réception)")});
    doc += ActsCsv::line(header());
    for (const ReceiptLine& l : m_book.openings)
        doc += ActsCsv::line(exported(l));
    doc += total(QStringLiteral("Total des reprises"), m_opening);
    if (const QString notice = beforeJournalText(); !notice.isEmpty())
        doc += ActsCsv::line({ActsCsv::protectedText(notice)});
    for (const auto& [title, totals] : {std::pair{QStringLiteral("Totaux par mois"), &m_byMonth},
                                        std::pair{QStringLiteral("Totaux par mode"), &m_byMode},
                                        std::pair{QStringLiteral("Totaux par jour"), &m_byDay}}) {
        doc += ActsCsv::line({});
        doc += ActsCsv::line({title, QStringLiteral("Recettes"), QStringLiteral("Montant")});
        for (const Total& t : *totals)
            doc +=
                ActsCsv::line({ActsCsv::protectedText(t.label), QString::number(t.count), t.amount.toFrenchFixed2()});
    }
    return doc;
}

BeforeJournal beforeJournal(const ReceiptsBook& book) {
    BeforeJournal b;
    std::set<qint64> acts, days;
    for (const ReceiptLine& l : book.openings) {
        acts.insert(l.act);
        if (l.writtenOn)
            days.insert(*l.writtenOn);
        Money& into = l.side == ReceiptSide::ReversalPaid ? b.paidOver : b.received;
        into = add(into, l.amount);
    }
    b.acts = qint64(acts.size());
    b.movedOn.assign(days.begin(), days.end());
    return b;
}

QString beforeJournalNotice(const ReceiptsBook& book, const QString& missingFrom) {
    const BeforeJournal b = beforeJournal(book);
    if (b.acts == 0)
        return QString();
    QStringList days;
    for (const qint64 d : b.movedOn)
        days << frenchDate(dateOfDayNumber(d));
    const QString moved = days.isEmpty() ? QString()
                          : days.size() == 1
                              ? QStringLiteral(" (registre repris le %1)").arg(days.first())
                              : QStringLiteral(" (registres repris les %1)").arg(days.join(QStringLiteral(", ")));
    const QString paidOver =
        b.paidOver == Money()
            ? QString()
            : QStringLiteral(", et %1 reversés aux confrères,").arg(ReceiptsSheet::euroText(b.paidOver));
    const QString acts = b.acts == 1 ? QStringLiteral("1 acte de la période a été payé")
                                     : QStringLiteral("%1 actes de la période ont été payés").arg(b.acts);
    return acts + QStringLiteral(" avant la tenue du journal%1 : ").arg(moved) +
           QStringLiteral("%1 reçus alors%2 ne figurent pas dans %3.")
               .arg(ReceiptsSheet::euroText(b.received), paidOver, missingFrom);
}

void receivedByReceiptDate(const ReceiptsBook& yearBook, YearStatement* statement) {
    for (StatementFigures& f : statement->months)
        f.paidSecu = f.paidComplementary = f.paidExcess = Money();
    for (const ReceiptLine& l : yearBook.receipts) {
        if (l.side != ReceiptSide::Fee || !l.day)
            continue;
        StatementFigures& f = statement->months[std::size_t(dateOfDayNumber(*l.day).month() - 1)];
        std::optional<Money>* column = l.payer == payerCode(Payer::Secu)            ? &f.paidSecu
                                       : l.payer == payerCode(Payer::Complementary) ? &f.paidComplementary
                                                                                    : &f.paidExcess;
        *column = column->value_or(Money()).plus(l.amount);
    }
}

} // namespace obs
