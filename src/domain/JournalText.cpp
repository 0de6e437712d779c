// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/JournalText.h"

#include "common/DayNumber.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <algorithm>

namespace obs {

namespace {

enum class Form { Text, Amount, Day };

struct Caption {
    const char* column;
    const char* caption;
    Form form;
};

// The columns of ACTES and MEMO, captioned as the main window and the lists editor show them.
constexpr Caption kCaptions[] = {
    {"Nom", "Nom", Form::Text},
    {"Prenom", "Prénom", Form::Text},
    {"Date", "Date de l'acte", Form::Day},
    {"MEDSUIT", "Praticien assurant le suivi", Form::Text},
    {"MEDACTE", "Praticien ayant effectué l'acte", Form::Text},
    {"Acte", "Acte principal", Form::Text},
    {"CCAM1", "Cotation CCAM", Form::Text},
    {"NF", "Férié/Nuit", Form::Text},
    {"CCAM2", "Acte secondaire 1", Form::Text},
    {"CCAM3", "Acte secondaire 2", Form::Text},
    {"CCAM4", "Acte secondaire 3", Form::Text},
    {"CCAM5", "Acte secondaire 4", Form::Text},
    {"CCAM6", "Acte secondaire 5", Form::Text},
    {"PRIX", "Montant", Form::Amount},
    {"DE", "DE", Form::Amount},
    {"PAYESECU", "Payé Sécu", Form::Amount},
    {"PAYECOMPLE", "Payé Complémentaire", Form::Amount},
    {"PAYEDE", "Payé DE", Form::Amount},
    {"REVERSE", "Reversé", Form::Amount},
    {"DateRev", "Date du reversement", Form::Day},
    {"NUMEROS", "Liste", Form::Text},
    {"TEXTE", "Libellé", Form::Text},
    {"CCAM", "Cotation CCAM", Form::Text},
    {"TARIFS", "Tarif", Form::Amount},
    {"MUT1", "Mutuelle 1", Form::Amount},
    {"MUT2", "Mutuelle 2", Form::Amount},
    {"MUT3", "Mutuelle 3", Form::Amount},
    {"MUT4", "Mutuelle 4", Form::Amount},
    {"MUT5", "Mutuelle 5", Form::Amount},
    {"MUT6", "Mutuelle 6", Form::Amount},
};

const Caption* captionOf(const QString& column) {
    const auto it = std::find_if(std::begin(kCaptions), std::end(kCaptions),
                                 [&](const Caption& c) { return column == QLatin1String(c.column); });
    return it == std::end(kCaptions) ? nullptr : it;
}

const QString kArrow = QStringLiteral(" → ");
const QString kEmpty = QStringLiteral("(vide)");

QString optionalAmountText(const std::optional<Money>& amount) {
    return amount ? journalAmountText(*amount) : QString();
}

// The day of receipt of money, or what stands for it.
QString receivedText(const JournalEntry& e) {
    if (e.kind == JournalKind::Opening)
        return kBeforeJournal;
    const QString day = e.receivedOn ? storedDateText(e.receivedOn) : QStringLiteral("date inconnue");
    return (e.kind == JournalKind::ReversalPaid ? QStringLiteral("versé le ") : QStringLiteral("reçu le ")) + day;
}

bool isMoney(const JournalEntry& e) {
    return e.kind == JournalKind::Payment || e.kind == JournalKind::ReversalPaid || e.kind == JournalKind::Opening;
}

// The spaces a terminal shows as any other.
QString plainSpaces(QString text) {
    text.replace(QChar(kThousandsSeparator), u' ');
    text.replace(QChar(0x00A0), u' ');
    return text;
}

} // namespace

QString journalColumnCaption(const QString& column) {
    const Caption* c = captionOf(column);
    return c ? QString::fromUtf8(c->caption) : column;
}

QString journalValueText(const QString& column, const std::optional<QString>& stored) {
    if (!stored || stored->isEmpty())
        return kEmpty;
    const Caption* c = captionOf(column);
    bool number = false;
    const qint64 figure = stored->toLongLong(&number);
    if (!c || !number)
        return *stored;
    switch (c->form) {
    case Form::Amount:
        if (const auto m = Money::fromStored(figure))
            return journalAmountText(*m);
        return *stored;
    case Form::Day:
        return storedDateText(std::optional<qint64>(figure));
    case Form::Text:
        break;
    }
    return *stored;
}

QString journalAmountText(Money amount) {
    // Cents as an accountant writes them; a figure finer than the cent keeps its decimals, so that
    // a change below the cent still shows.
    if (amount.units() % 100 != 0)
        return amount.toFrench() + QStringLiteral("\u00A0€");
    return accountingEuroText(amount);
}

QString journalWrittenText(const QString& writtenAtUtc, bool withSeconds) {
    QDateTime t = QDateTime::fromString(writtenAtUtc, Qt::ISODateWithMs);
    if (!t.isValid())
        return writtenAtUtc;
    if (t.timeSpec() == Qt::LocalTime)
        t.setTimeZone(QTimeZone::utc()); // stored in UTC, whether or not it says so
    return t.toLocalTime().toString(withSeconds ? QStringLiteral("dd/MM/yyyy HH:mm:ss")
                                                : QStringLiteral("dd/MM/yyyy HH:mm"));
}

QString journalPayerText(const JournalEntry& e) {
    // A reversal goes from one practitioner to another; so does an opening entry of what was paid over.
    if (e.kind == JournalKind::ReversalPaid || (e.kind == JournalKind::Opening && !e.payee.isEmpty()))
        return (e.payer.isEmpty() ? kEmpty : e.payer) + kArrow + (e.payee.isEmpty() ? kEmpty : e.payee);
    return payerLabelOf(e.payer);
}

QString journalChangesText(const JournalEntry& e) {
    QStringList parts;
    for (const ColumnChange& c : e.changes) {
        const QString caption = journalColumnCaption(c.column) + QStringLiteral(" : ");
        if (e.kind == JournalKind::Created)
            parts << caption + journalValueText(c.column, c.after);
        else if (e.kind == JournalKind::Deleted)
            parts << caption + journalValueText(c.column, c.before);
        else
            parts << caption + journalValueText(c.column, c.before) + kArrow + journalValueText(c.column, c.after);
    }
    return parts.join(QStringLiteral(" ; "));
}

QString journalWhatText(const JournalEntry& e) {
    const QString kind = journalKindLabel(e.kind);
    if (!isMoney(e)) {
        const QString changes = journalChangesText(e);
        return changes.isEmpty() ? kind : kind + QStringLiteral(" : ") + changes;
    }
    QStringList parts{optionalAmountText(e.amount), receivedText(e)};
    if (e.mode)
        parts << paymentModeLabel(*e.mode);
    return kind + u' ' + journalPayerText(e) + QStringLiteral(" : ") + parts.join(QStringLiteral(", "));
}

QString HistoryLine::text() const {
    return QStringList{when, workstation, user, what}.join(QStringLiteral(" · "));
}

HistoryLine historyLine(const JournalEntry& e) {
    return {journalWrittenText(e.writtenAt), e.workstation, e.user, journalWhatText(e)};
}

std::vector<HistoryLine> historyLines(const std::vector<JournalEntry>& oldestFirst) {
    std::vector<HistoryLine> lines;
    lines.reserve(oldestFirst.size());
    // By number: the order in which the entries were written, whatever the clocks said.
    std::vector<const JournalEntry*> entries;
    for (const JournalEntry& e : oldestFirst)
        entries.push_back(&e);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const JournalEntry* a, const JournalEntry* b) { return a->number > b->number; });
    for (const JournalEntry* e : entries)
        lines.push_back(historyLine(*e));
    return lines;
}

QString journalShowLine(const JournalEntry& e) {
    QStringList fields{QStringLiteral("n° %1").arg(e.number), journalWrittenText(e.writtenAt, true), e.workstation,
                       e.user, journalKindLabel(e.kind)};
    if (isMoney(e)) {
        fields << receivedText(e) << journalPayerText(e) << (e.mode ? paymentModeLabel(*e.mode) : QString())
               << optionalAmountText(e.amount);
    } else {
        fields << journalChangesText(e);
    }
    return plainSpaces(fields.join(u'\t'));
}

} // namespace obs
