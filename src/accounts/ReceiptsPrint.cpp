// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/ReceiptsPrint.h"

#include "accounts/StatementPrint.h"

#include <QTextDocument>

namespace obs {

namespace {

// A table of the book: the columns from `rightFrom` on (amounts, counts) aligned right and never
// broken; the texts wrap so that the table keeps to the page's width. The total row, when given,
// puts its label across the columns before its amount.
QString table(const QStringList& header, const std::vector<QStringList>& rows, int rightFrom,
              const QString& totalLabel = QString(), const QString& totalAmount = QString()) {
    auto cell = [&](const QString& text, int column, bool bold, const char* tag) {
        QString t = text.toHtmlEscaped();
        if (bold)
            t = QStringLiteral("<b>") + t + QStringLiteral("</b>");
        const bool figure = column >= rightFrom || column == 0;
        return QStringLiteral("<%1 align=\"%2\"%3>%4</%1>")
            .arg(QLatin1String(tag), column >= rightFrom ? QStringLiteral("right") : QStringLiteral("left"),
                 figure ? QStringLiteral(" style=\"white-space: nowrap;\"") : QString(), t);
    };
    QString h = QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\" "
                               "style=\"border-collapse: collapse; border-color: #808080;\"><thead><tr>");
    for (int c = 0; c < header.size(); ++c)
        h += cell(header[c], c, true, "th");
    h += QStringLiteral("</tr></thead>");
    for (const QStringList& r : rows) {
        h += QStringLiteral("<tr>");
        for (int c = 0; c < r.size(); ++c)
            h += cell(r[c], c, false, "td");
        h += QStringLiteral("</tr>");
    }
    if (!totalLabel.isEmpty())
        h += QStringLiteral("<tr><td colspan=\"%1\"><b>%2</b></td>%3</tr>")
                 .arg(header.size() - 1)
                 .arg(totalLabel.toHtmlEscaped(), cell(totalAmount, int(header.size()) - 1, true, "td"));
    return h + QStringLiteral("</table>");
}

QString title(const QString& text) {
    return QStringLiteral("<p style=\"font-size: 12pt;\"><b>%1</b></p>").arg(text.toHtmlEscaped());
}

} // namespace

QString ReceiptsPrint::html(const QString& practitioner, const QString& from, const QString& to,
                            const ReceiptsSheet& sheet) {
    const int amount = sheet.amountColumn();
    auto lines = [&](const std::vector<ReceiptLine>& list) {
        std::vector<QStringList> rows;
        rows.reserve(list.size());
        for (const ReceiptLine& l : list)
            rows.push_back(sheet.cells(l));
        return rows;
    };
    auto totals = [&](const QString& heading, const std::vector<ReceiptsSheet::Total>& list) {
        std::vector<QStringList> rows;
        for (const auto& t : list)
            rows.push_back({t.label, QString::number(t.count), ReceiptsSheet::euroText(t.amount)});
        return title(heading) + table({QString(), QStringLiteral("Recettes"), QStringLiteral("Montant")}, rows, 1);
    };

    QString h = QStringLiteral("<html><body>");
    h += QStringLiteral("<p style=\"font-size: 16pt;\"><b>Livre des recettes</b></p>");
    h += QStringLiteral("<p style=\"font-size: 12pt;\">%1, recettes reçues du %2 au %3%4</p>")
             .arg(practitioner.toHtmlEscaped(), from.toHtmlEscaped(), to.toHtmlEscaped(),
                  sheet.withNames() ? QString() : QStringLiteral(" (sans le nom des patientes)"));
    // Said before the figures: the period's total leaves those receipts out.
    if (const QString notice = sheet.beforeJournalText(); !notice.isEmpty())
        h += QStringLiteral("<p style=\"font-size: 11pt;\"><b>%1</b></p>").arg(notice.toHtmlEscaped());
    h += title(QStringLiteral("Recettes"));
    h += table(sheet.header(), lines(sheet.book().receipts), amount, QStringLiteral("Total de la période"),
               ReceiptsSheet::euroText(sheet.total()));
    h += totals(QStringLiteral("Totaux par mois"), sheet.byMonth());
    h += totals(QStringLiteral("Totaux par mode de paiement"), sheet.byMode());
    h += title(QStringLiteral("Rétrocessions versées aux confrères"));
    h += table(sheet.header(), lines(sheet.book().outgoings), amount, QStringLiteral("Total versé"),
               ReceiptsSheet::euroText(sheet.outgoingTotal()));
    h += title(QStringLiteral("Reprises sans date de réception (actes de la période)"));
    h += table(sheet.header(), lines(sheet.book().openings), amount, QStringLiteral("Total des reprises"),
               ReceiptsSheet::euroText(sheet.openingTotal()));
    h += totals(QStringLiteral("Totaux par jour"), sheet.byDay());
    return h + QStringLiteral("</body></html>");
}

bool ReceiptsPrint::print(QPrinter* printer, const QString& practitioner, const QString& from, const QString& to,
                          const ReceiptsSheet& sheet, QString* error, int* pages, const QDateTime& printedAt) {
    return StatementPrint::printDocument(
        printer, [&](QTextDocument& doc, const QSizeF&) { doc.setHtml(html(practitioner, from, to, sheet)); },
        QStringLiteral("L'impression du livre des recettes a échoué : l'imprimante a signalé une erreur. "
                       "Vérifiez l'imprimante puis recommencez."),
        error, pages, printedAt);
}

} // namespace obs
