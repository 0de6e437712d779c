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

std::vector<ListPrint::Line> ListPrint::compose(const Heading& h, const QStringList& foundLines) {
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
    return out;
}

bool ListPrint::print(QPrinter* printer, const std::vector<Line>& lines, QString* error) {
    QPainter painter;
    if (!painter.begin(printer)) {
        if (error)
            *error = QStringLiteral("L'imprimante n'a pas pu être utilisée : aucune imprimante n'est disponible, ou "
                                    "elle est hors service. Vérifiez l'imprimante (ou choisissez-en une par le menu "
                                    "« Imprimer la liste »). Rien n'a été imprimé.");
        return false;
    }
    const double dpi = printer->resolution();
    const double margin = kMarginCm / 2.54 * dpi;
    const double bottom = printer->pageLayout().paintRectPixels(printer->resolution()).height();
    QFont font = painter.font();
    double y = margin;
    bool pageRefused = false;
    for (const Line& line : lines) {
        font.setPointSize(line.pointSize);
        const QFontMetricsF metrics(font, printer);
        if (y + metrics.height() > bottom && y > margin) {
            if (!printer->newPage()) {
                pageRefused = true;
                break;
            }
            y = margin;
        }
        painter.setFont(font);
        painter.drawText(QPointF(margin, y + metrics.ascent()), line.text);
        y += metrics.lineSpacing();
    }
    const bool ended = painter.end();
    if (!ended || pageRefused || printer->printerState() == QPrinter::Error ||
        printer->printerState() == QPrinter::Aborted) {
        if (error)
            *error = QStringLiteral("L'impression de la liste a échoué : l'imprimante a signalé une erreur. "
                                    "Vérifiez l'imprimante puis recommencez.");
        return false;
    }
    return true;
}

} // namespace obs
