// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/AccessExport.h"

#include <QStringDecoder>
#include <algorithm>

namespace obs {

namespace {

bool decoded(const char* begin, qsizetype size, QString* text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = utf8.decode(QByteArrayView(begin, size));
    return !utf8.hasError();
}

} // namespace

bool readAccessExport(const QByteArray& output, AccessTable* table, QString* why) {
    *table = AccessTable();
    const char* p = output.constData();
    const char* const end = p + output.size();
    int line = 1;
    auto fail = [&](int at, const QString& what) {
        *why = QStringLiteral("ligne %1 : %2").arg(at).arg(what);
        return false;
    };

    // The names: bare, up to the first line end.
    const char* eol = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
    if (!eol)
        return fail(1, QStringLiteral("pas de ligne de noms de colonnes"));
    QString header;
    if (!decoded(p, eol - p, &header))
        return fail(1, QStringLiteral("noms de colonnes illisibles"));
    if (header.endsWith(u'\r'))
        header.chop(1);
    table->columns = header.split(u',');
    for (const QString& name : std::as_const(table->columns))
        if (name.isEmpty() || name.contains(u'"') ||
            std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x20; }))
            return fail(1, QStringLiteral("nom de colonne illisible « %1 »").arg(name));
    p = eol + 1;
    ++line;

    const qsizetype width = table->columns.size();
    QStringList row;
    row.reserve(width);
    QByteArray field;
    while (p < end) {
        const int rowLine = line;
        row.clear();
        for (;;) {
            QString text;
            if (p >= end)
                return fail(rowLine, QStringLiteral("la sortie s'arrête au milieu d'une ligne"));
            if (*p == '"') {
                // Quoted: up to a quote that is not doubled.
                field.clear();
                ++p;
                for (;;) {
                    const char* q = static_cast<const char*>(memchr(p, '"', size_t(end - p)));
                    if (!q)
                        return fail(rowLine, QStringLiteral("texte entre guillemets non refermé"));
                    for (const char* c = p; c < q; ++c)
                        line += *c == '\n';
                    field.append(p, q - p);
                    p = q + 1;
                    if (p < end && *p == '"') {
                        field.append('"');
                        ++p;
                        continue;
                    }
                    break;
                }
                if (!decoded(field.constData(), field.size(), &text))
                    return fail(rowLine, QStringLiteral("texte illisible (pas en UTF-8), colonne %1")
                                             .arg(table->columns.value(row.size())));
                if (p < end && *p != ',' && *p != '\n')
                    return fail(rowLine, QStringLiteral("caractères après un texte entre guillemets, colonne %1")
                                             .arg(table->columns.value(row.size())));
            } else {
                const char* q = p;
                while (q < end && *q != ',' && *q != '\n')
                    ++q;
                if (memchr(p, '"', size_t(q - p)))
                    return fail(rowLine, QStringLiteral("guillemet dans une valeur sans guillemets, colonne %1")
                                             .arg(table->columns.value(row.size())));
                if (!decoded(p, q - p, &text))
                    return fail(rowLine, QStringLiteral("valeur illisible (pas en UTF-8), colonne %1")
                                             .arg(table->columns.value(row.size())));
                p = q;
            }
            row << text;
            if (p >= end)
                return fail(rowLine, QStringLiteral("la sortie s'arrête au milieu d'une ligne"));
            if (*p++ == '\n')
                break;
        }
        ++line;
        if (row.size() != width)
            return fail(rowLine, QStringLiteral("%1 valeurs pour %2 colonnes").arg(row.size()).arg(width));
        table->rows.push_back(row);
        table->lines.push_back(rowLine);
    }
    return true;
}

} // namespace obs
