// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/YearStatementSheet.h"

#include "domain/ActsCsv.h"

namespace obs {

namespace {

const QString kOutOfRange = QStringLiteral("Montant hors limites");

// A sum of amounts any of which may be missing (too large to be held): then nothing.
std::optional<Money> total(std::initializer_list<std::optional<Money>> amounts) {
    Money sum;
    for (const auto& a : amounts) {
        if (!a)
            return std::nullopt;
        const auto next = sum.plus(*a);
        if (!next)
            return std::nullopt;
        sum = *next;
    }
    return sum;
}

void accumulate(std::optional<Money>& into, const std::optional<Money>& amount) {
    into = into && amount ? into->plus(*amount) : std::nullopt;
}

// `paid`: what the acts hold paid, whatever the columns show.
void complete(YearStatementSheet::Line& line, const std::optional<Money>& paid) {
    line.billed = total({line.price, line.excess});
    line.received = total({line.paidSecu, line.paidComplementary, line.paidExcess});
    // Never a remainder worked out from a sum that could not be held: that sum is not 0.
    line.remainder = line.billed && paid ? line.billed->minus(*paid) : std::nullopt;
}

// A table of figures: two decimals, thousands apart, an overpaid remainder below zero.
QString shown(const std::optional<Money>& m) {
    return m ? accountingEuroText(*m) : kOutOfRange;
}

QString exported(const std::optional<Money>& m) {
    return m ? m->toFrench() : kOutOfRange;
}

} // namespace

YearStatementSheet::YearStatementSheet(const YearStatement& statement, const YearStatement* receivedByDate,
                                       QString beforeJournal)
    : m_reversals(statement.reversals), m_beforeJournal(std::move(beforeJournal)) {
    Line& sum = m_lines[12];
    sum.label = QStringLiteral("Total");
    sum.price = sum.excess = sum.paidSecu = sum.paidComplementary = sum.paidExcess = Money();
    std::optional<Money> paidInYear = Money();
    for (int m = 0; m < 12; ++m) {
        const StatementFigures& f = statement.months[m];
        const StatementFigures& shown = receivedByDate ? receivedByDate->months[m] : f;
        Line& line = m_lines[m];
        line.label = monthName(m + 1);
        line.acts = f.acts;
        line.price = f.price;
        line.excess = f.excess;
        line.paidSecu = shown.paidSecu;
        line.paidComplementary = shown.paidComplementary;
        line.paidExcess = shown.paidExcess;
        const auto paid = total({f.paidSecu, f.paidComplementary, f.paidExcess});
        complete(line, paid);
        accumulate(paidInYear, paid);
        sum.acts += f.acts;
        accumulate(sum.price, f.price);
        accumulate(sum.excess, f.excess);
        accumulate(sum.paidSecu, shown.paidSecu);
        accumulate(sum.paidComplementary, shown.paidComplementary);
        accumulate(sum.paidExcess, shown.paidExcess);
    }
    complete(sum, paidInYear);
}

QString YearStatementSheet::monthName(int month) {
    static const char* const names[] = {"Janvier", "Février", "Mars",      "Avril",   "Mai",      "Juin",
                                        "Juillet", "Août",    "Septembre", "Octobre", "Novembre", "Décembre"};
    return month >= 1 && month <= 12 ? QString::fromUtf8(names[month - 1]) : QString();
}

QStringList YearStatementSheet::monthHeader() {
    return {QStringLiteral("Mois"),    QStringLiteral("Actes"),     QStringLiteral("Montant"),
            QStringLiteral("DE"),      QStringLiteral("Payé Sécu"), QStringLiteral("Payé complémentaire"),
            QStringLiteral("Payé DE"), QStringLiteral("Reste dû")};
}

QStringList YearStatementSheet::reversalHeader() {
    return {QStringLiteral("Confrère"), QStringLiteral("Reversé au confrère"), QStringLiteral("Reçu du confrère")};
}

QStringList YearStatementSheet::shownCells(const Line& l) {
    return {l.label,           QString::number(l.acts),    shown(l.price),      shown(l.excess),
            shown(l.paidSecu), shown(l.paidComplementary), shown(l.paidExcess), shown(l.remainder)};
}

QStringList YearStatementSheet::shownCells(const StatementReversal& r) {
    return {r.colleague, shown(r.paidOver), shown(r.received)};
}

QByteArray YearStatementSheet::csvDocument() const {
    QByteArray doc("\xEF\xBB\xBF");
    doc += ActsCsv::line(monthHeader());
    for (const Line& l : m_lines)
        doc += ActsCsv::line({l.label, QString::number(l.acts), exported(l.price), exported(l.excess),
                              exported(l.paidSecu), exported(l.paidComplementary), exported(l.paidExcess),
                              exported(l.remainder)});
    doc += ActsCsv::line({});
    doc += ActsCsv::line(reversalHeader());
    for (const StatementReversal& r : m_reversals)
        doc += ActsCsv::line({ActsCsv::protectedText(r.colleague), exported(r.paidOver), exported(r.received)});
    if (!m_beforeJournal.isEmpty()) {
        doc += ActsCsv::line({});
        doc += ActsCsv::line({ActsCsv::protectedText(m_beforeJournal)});
    }
    return doc;
}

} // namespace obs
