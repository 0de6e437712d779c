// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/StatementPrint.h"

#include "accounts/ListPrint.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <QUrl>

namespace obs {

const QString StatementPrint::chartName = QStringLiteral("obsledger-graphique-mois");

namespace {

// The document is laid out at the screen's 96 dots an inch and scaled onto the printer's dots.
constexpr double kLayoutDpi = 96.0;

QString cell(const QString& text, bool number, bool bold, const QString& tag = QStringLiteral("td")) {
    QString t = text.toHtmlEscaped();
    if (bold)
        t = QStringLiteral("<b>") + t + QStringLiteral("</b>");
    // Amounts are never broken over two lines; the headings may be, between words.
    return QStringLiteral("<%1 align=\"%2\"%3>%4</%1>")
        .arg(tag, number ? QStringLiteral("right") : QStringLiteral("left"),
             tag == u"td" ? QStringLiteral(" style=\"white-space: nowrap;\"") : QString(), t);
}

QString table(const QStringList& header, const std::vector<QStringList>& rows, int boldRow) {
    QString h = QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
                               "style=\"border-collapse: collapse; border-color: #808080;\"><thead><tr>");
    for (int c = 0; c < header.size(); ++c)
        h += cell(header[c], c > 0, true, QStringLiteral("th"));
    h += QStringLiteral("</tr></thead>");
    for (int r = 0; r < int(rows.size()); ++r) {
        h += QStringLiteral("<tr>");
        for (int c = 0; c < rows[r].size(); ++c)
            h += cell(rows[r][c], c > 0, r == boldRow);
        h += QStringLiteral("</tr>");
    }
    return h + QStringLiteral("</table>");
}

} // namespace

QString StatementPrint::html(const QString& practitioner, int year, const YearStatementSheet& sheet,
                             const QSizeF& chartSize) {
    QString h = QStringLiteral("<html><body>");
    h += QStringLiteral("<p style=\"font-size: 16pt;\"><b>Relevé annuel %1</b></p>").arg(year);
    h += QStringLiteral("<p style=\"font-size: 12pt;\">Actes effectués par le %1, du 01/01/%2 au 31/12/%2</p>")
             .arg(practitioner.toHtmlEscaped())
             .arg(year);
    h += QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\"></p>")
             .arg(chartName)
             .arg(qRound(chartSize.width()))
             .arg(qRound(chartSize.height()));

    std::vector<QStringList> months;
    for (const auto& line : sheet.lines())
        months.push_back(YearStatementSheet::shownCells(line));
    h += QStringLiteral("<p style=\"font-size: 12pt;\"><b>Actes effectués, mois par mois</b></p>");
    h += table(YearStatementSheet::monthHeader(), months, 12);
    if (!sheet.beforeJournal().isEmpty())
        h += QStringLiteral("<p>%1</p>").arg(sheet.beforeJournal().toHtmlEscaped());

    h += QStringLiteral("<p style=\"font-size: 12pt;\"><b>Reversements de l'année</b></p>");
    if (sheet.reversals().empty()) {
        h += QStringLiteral("<p>Aucune somme reversée cette année.</p>");
    } else {
        std::vector<QStringList> reversals;
        for (const auto& r : sheet.reversals())
            reversals.push_back(YearStatementSheet::shownCells(r));
        h += table(YearStatementSheet::reversalHeader(), reversals, -1);
    }
    return h + QStringLiteral("</body></html>");
}

bool StatementPrint::print(QPrinter* printer, const QString& practitioner, int year, const YearStatementSheet& sheet,
                           const QImage& chart, QString* error, int* pages, const QDateTime& printedAt) {
    return printDocument(
        printer,
        [&](QTextDocument& doc, const QSizeF& pageSize) {
            doc.addResource(QTextDocument::ImageResource, QUrl(chartName), chart);
            // The chart takes the width of the page, in its own proportions, and at most half its height.
            QSizeF chartSize(pageSize.width(),
                             chart.isNull() ? 0.0 : pageSize.width() * chart.height() / chart.width());
            if (chartSize.height() > pageSize.height() / 2)
                chartSize = chartSize * (pageSize.height() / 2 / chartSize.height());
            doc.setHtml(html(practitioner, year, sheet, chartSize));
        },
        QStringLiteral("L'impression du relevé a échoué : l'imprimante a signalé une erreur. "
                       "Vérifiez l'imprimante puis recommencez."),
        error, pages, printedAt);
}

bool StatementPrint::printDocument(QPrinter* printer, const std::function<void(QTextDocument&, const QSizeF&)>& compose,
                                   const QString& failure, QString* error, int* pages, const QDateTime& printedAt) {
    if (pages)
        *pages = 0;
    QPainter painter;
    if (!PrintedPage::begin(painter, printer, QStringLiteral("Vérifiez l'imprimante puis recommencez."), error))
        return false;
    const double dpi = printer->resolution();
    const double margin = kMarginCm / 2.54 * dpi;
    // Letters drawn one by one, as on the printed list: the text of a PDF copy reads as on screen.
    QFont base = painter.font();
    base.setStyleStrategy(QFont::PreferNoShaping);
    const PrintedPage page(printer, base, margin, printedAt);
    const double bodyHeight = page.bodyBottom() - margin;
    const double bodyWidth = page.width() - 2 * margin;
    const double scale = dpi / kLayoutDpi;

    QTextDocument doc;
    // Not the painter's font: that one is measured at the printer's resolution, the document at
    // the screen's.
    QFont bodyFont;
    bodyFont.setStyleStrategy(QFont::PreferNoShaping);
    bodyFont.setPointSize(kBodyPointSize);
    doc.setDefaultFont(bodyFont);
    doc.setDocumentMargin(0);
    const QSizeF pageSize(bodyWidth / scale, bodyHeight / scale);
    compose(doc, pageSize);
    doc.setPageSize(pageSize);
    const int count = doc.pageCount();

    bool pageRefused = false;
    for (int p = 0; p < count; ++p) {
        if (p > 0 && !printer->newPage()) {
            pageRefused = true;
            break;
        }
        painter.save();
        painter.translate(margin, margin);
        painter.scale(scale, scale);
        painter.translate(0, -p * doc.pageSize().height());
        doc.drawContents(&painter, QRectF(QPointF(0, p * doc.pageSize().height()), doc.pageSize()));
        painter.restore();

        page.drawFoot(painter, p + 1, count);
    }
    if (!PrintedPage::end(painter, printer, pageRefused, failure, error))
        return false;
    if (pages)
        *pages = count;
    return true;
}

} // namespace obs
