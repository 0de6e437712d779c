#include "accounts/ListPrint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace obs {

namespace {
const QString kBreak = QStringLiteral("\r\n");
const QString kIndent = QString(10, u' ');

// One print order: a text whose line breaks each start a new printed line at the margin.
void printText(std::vector<ListPrint::Line>& out, const QString& text, int pointSize) {
    for (const QString& part : text.split(kBreak))
        out.push_back({part, pointSize});
}
} // namespace

std::vector<ListPrint::Line> ListPrint::compose(const Heading& h, const QStringList& foundLines,
                                                const Summary& summary) {
    QString body;
    for (const QString& line : foundLines)
        body += kBreak + line;

    std::vector<Line> out;
    int size = kHeadingPointSize;
    printText(out, QString(), size);
    printText(out,
              QStringLiteral("Actes effectués :") + kBreak + kIndent + QStringLiteral("par le ") + h.performer +
                  kBreak + kIndent + QStringLiteral("pour le ") + h.followUp,
              size);
    size = kBodyPointSize;
    printText(out, QString(), size);
    printText(out, QStringLiteral("Période du ") + h.firstDay + QStringLiteral(" au ") + h.lastDay, size);
    printText(out, QString(), size);
    printText(out, QStringLiteral("Type d'acte : ") + h.act, size);
    printText(out, QString(), size);
    printText(out, QStringLiteral(" Nom des patientes."), size);
    printText(out, body, size);
    if (!summary.count.isEmpty() || !summary.total.isEmpty()) {
        printText(out, QString(), size);
        printText(out, summary.countCaption.trimmed() + QStringLiteral(" : ") + summary.count, size);
        printText(out, summary.totalCaption.trimmed() + QStringLiteral(" : ") + summary.total, size);
    }
    return out;
}

QString ListPrint::pageText(int page, int pages) {
    return QStringLiteral("Page %1 / %2").arg(page).arg(pages);
}

QString ListPrint::printedOnText(const QDateTime& printedAt) {
    return QStringLiteral("Imprimé le %1 à %2")
        .arg(printedAt.toString(QStringLiteral("dd/MM/yyyy")), printedAt.toString(QStringLiteral("HH:mm")));
}

namespace {
QFont footFontOf(QFont base) {
    base.setPointSize(ListPrint::kFootPointSize);
    return base;
}
} // namespace

PrintedPage::PrintedPage(QPrinter* printer, const QFont& base, double margin, const QDateTime& printedAt)
    : m_margin(margin), m_footFont(footFontOf(base)), m_footMetrics(m_footFont, printer),
      m_printedOn(ListPrint::printedOnText(printedAt)) {
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    m_width = page.width();
    // The foot sits on the last line of the printable area.
    m_footTop = page.height() - m_footMetrics.height();
}

void PrintedPage::drawFoot(QPainter& painter, int page, int pages) const {
    painter.setFont(m_footFont);
    const QString right = ListPrint::pageText(page, pages);
    const double baseline = m_footTop + m_footMetrics.ascent();
    painter.drawText(QPointF(m_margin, baseline), m_printedOn);
    painter.drawText(QPointF(m_width - m_margin - m_footMetrics.horizontalAdvance(right), baseline), right);
}

bool PrintedPage::begin(QPainter& painter, QPrinter* printer, const QString& advice, QString* error) {
    if (painter.begin(printer))
        return true;
    if (error)
        *error = QStringLiteral("L'imprimante n'a pas pu être utilisée : aucune imprimante n'est disponible, ou "
                                "elle est hors service. %1 Rien n'a été imprimé.")
                     .arg(advice);
    return false;
}

bool PrintedPage::end(QPainter& painter, QPrinter* printer, bool pageRefused, const QString& failure, QString* error) {
    const bool ended = painter.end();
    if (ended && !pageRefused && printer->printerState() != QPrinter::Error &&
        printer->printerState() != QPrinter::Aborted)
        return true;
    if (error)
        *error = failure;
    return false;
}

bool ListPrint::print(QPrinter* printer, const std::vector<Line>& lines, QString* error, const QDateTime& printedAt) {
    QPainter painter;
    if (!PrintedPage::begin(painter, printer,
                            QStringLiteral("Vérifiez l'imprimante (ou choisissez-en une par le menu « Imprimer la "
                                           "liste »)."),
                            error))
        return false;
    const double margin = kMarginCm / 2.54 * printer->resolution();
    // Letters are drawn one by one, without ligatures, which some printing chains cannot map back to
    // letters: the printed text stays searchable and its copies (PDF) read as on screen.
    QFont base = painter.font();
    base.setStyleStrategy(QFont::PreferNoShaping);
    const PrintedPage page(printer, base, margin, printedAt);
    const double bottom = page.bodyBottom();

    // Placed first, so that each foot can say how many pages there are.
    struct Placed {
        int page;
        double y;
    };
    std::vector<Placed> placed;
    placed.reserve(lines.size());
    QFont font = base;
    int pageIndex = 0;
    double y = margin;
    for (const Line& line : lines) {
        font.setPointSize(line.pointSize);
        const QFontMetricsF metrics(font, printer);
        if (y + metrics.height() > bottom && y > margin) {
            ++pageIndex;
            y = margin;
        }
        placed.push_back({pageIndex, y + metrics.ascent()});
        y += metrics.lineSpacing();
    }
    const int pages = pageIndex + 1;

    bool pageRefused = false;
    int current = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (placed[i].page != current) {
            page.drawFoot(painter, current + 1, pages);
            if (!printer->newPage()) {
                pageRefused = true;
                break;
            }
            current = placed[i].page;
        }
        font.setPointSize(lines[i].pointSize);
        painter.setFont(font);
        painter.drawText(QPointF(margin, placed[i].y), lines[i].text);
    }
    if (!pageRefused)
        page.drawFoot(painter, current + 1, pages);
    return PrintedPage::end(painter, printer, pageRefused,
                            QStringLiteral("L'impression de la liste a échoué : l'imprimante a signalé une erreur. "
                                           "Vérifiez l'imprimante puis recommencez."),
                            error);
}

} // namespace obs
