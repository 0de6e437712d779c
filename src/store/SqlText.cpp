#include "store/SqlText.h"

namespace obs {

QString adaptSqlTokens(const QString& sql);

namespace {
bool isIdentChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The index just after a text or name in quotes that starts at i (a doubled quote stays inside).
int endOfQuoted(const QString& sql, int i) {
    const QChar quote = sql[i];
    const int n = sql.size();
    ++i;
    while (i < n) {
        if (sql[i] == quote) {
            if (i + 1 < n && sql[i + 1] == quote) {
                i += 2;
                continue;
            }
            break;
        }
        ++i;
    }
    return std::min(i + 1, n);
}

struct Token {
    int start;
    int end;
    QString upper; // for words; empty for anything else
};

// Words outside quotes, with their places.
QList<Token> words(const QString& s) {
    QList<Token> out;
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            ++i;
            while (i < n) {
                if (s[i] == close) {
                    if (close != u']' && i + 1 < n && s[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
            continue;
        }
        if (c.isLetter() || c == u'_') {
            const int start = i;
            while (i < n && isIdentChar(s[i]))
                ++i;
            out.append({start, i, s.mid(start, i - start).toUpper()});
            continue;
        }
        ++i;
    }
    return out;
}
} // namespace

QString sqlEscape(const QString& value) {
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    return v;
}

namespace {

// A text between apostrophes starting at i; returns the index after it and its content.
int readLiteral(const QString& s, int i, QString* content) {
    QString v;
    ++i;
    while (i < s.size()) {
        if (s[i] == u'\'') {
            if (i + 1 < s.size() && s[i + 1] == u'\'') {
                v += u'\'';
                i += 2;
                continue;
            }
            *content = v;
            return i + 1;
        }
        v += s[i++];
    }
    return -1;
}

bool hasWildcard(const QString& text) {
    for (QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[')
            return true;
    }
    return false;
}

// A LIKE without wildcard is an equality of base letters: "col LIKE 'Dr MARTIN'" is written
// "col = 'Dr MARTIN' COLLATE FRENCH_PRIMARY", which an index on the column answers.
QString rewriteExactLikes(const QString& sql) {
    QString out;
    int i = 0;
    const int n = sql.size();
    int lastWordStart = -1, lastWordEnd = -1; // in out
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            const int start = i;
            i = endOfQuoted(sql, i);
            out += sql.mid(start, i - start);
            lastWordStart = -1;
            continue;
        }
        if (c.isLetter() || c == u'_') {
            const int start = i;
            while (i < n && (isIdentChar(sql[i]) || (sql[i] == u'.' && i + 1 < n && isIdentChar(sql[i + 1]))))
                ++i;
            const QString word = sql.mid(start, i - start);
            if (word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0 && lastWordStart >= 0) {
                int j = i;
                while (j < n && sql[j].isSpace())
                    ++j;
                QString pattern;
                const int after = (j < n && sql[j] == u'\'') ? readLiteral(sql, j, &pattern) : -1;
                const QString column = out.mid(lastWordStart, lastWordEnd - lastWordStart);
                if (after > 0 && !hasWildcard(pattern)) {
                    out.truncate(lastWordStart);
                    out += u'(' + column + QStringLiteral(" = ") + sql.mid(j, after - j) +
                           QStringLiteral(" COLLATE FRENCH_PRIMARY)");
                    i = after;
                    lastWordStart = -1;
                    continue;
                }
            }
            lastWordStart = out.size();
            out += word;
            lastWordEnd = out.size();
            continue;
        }
        if (!c.isSpace())
            lastWordStart = -1;
        out += c;
        ++i;
    }
    return out;
}

} // namespace

QString adaptSql(const QString& sql) {
    return rewriteExactLikes(adaptSqlTokens(sql));
}

QString adaptSqlTokens(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 8);
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            const int start = i;
            i = endOfQuoted(sql, i);
            out += sql.mid(start, i - start);
            continue;
        }
        if (c.isDigit() && (i == 0 || !(isIdentChar(sql[i - 1]) || sql[i - 1] == u'.'))) {
            const int start = i;
            while (i < n && (sql[i].isDigit() || sql[i] == u'.'))
                ++i;
            out += sql.mid(start, i - start);
            if (i < n && (sql[i].isLetter() || sql[i] == u'_'))
                out += u' ';
            continue;
        }
        if (c.isLetter() || c == u'_') {
            const int start = i;
            while (i < n && isIdentChar(sql[i]))
                ++i;
            const QString word = sql.mid(start, i - start);
            if (word.compare(QLatin1String("INDEX"), Qt::CaseInsensitive) == 0)
                out += u'"' + word.toUpper() + u'"';
            else
                out += word;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

SelectParts splitSelect(const QString& sql) {
    SelectParts p;
    const QList<Token> ws = words(sql);
    int select = -1, from = -1, where = -1, order = -1;
    for (int k = 0; k < ws.size(); ++k) {
        const QString& w = ws[k].upper;
        if (w == QLatin1String("SELECT") && select < 0)
            select = k;
        else if (w == QLatin1String("FROM") && from < 0)
            from = k;
        else if (w == QLatin1String("WHERE") && where < 0 && from >= 0)
            where = k;
        else if (w == QLatin1String("ORDER") && k + 1 < ws.size() && ws[k + 1].upper == QLatin1String("BY"))
            order = k;
        else if (w == QLatin1String("GROUP") || w == QLatin1String("JOIN") || w == QLatin1String("UNION"))
            return p; // not a plain one-table query
    }
    if (select != 0 || from < 0 || from + 1 >= ws.size())
        return p;
    p.columns = sql.mid(ws[select].end, ws[from].start - ws[select].end).trimmed();
    p.table = sql.mid(ws[from + 1].start, ws[from + 1].end - ws[from + 1].start);
    const int afterTable = ws[from + 1].end;
    // Nothing but blanks may stand between the table and WHERE / ORDER BY / the end.
    const int nextKeyStart = where >= 0 ? ws[where].start : (order >= 0 ? ws[order].start : int(sql.size()));
    if (!sql.mid(afterTable, nextKeyStart - afterTable).trimmed().isEmpty())
        return p;
    if (where >= 0) {
        const int end = order >= 0 ? ws[order].start : int(sql.size());
        p.where = sql.mid(ws[where].end, end - ws[where].end).trimmed();
    }
    if (order >= 0) {
        const QString keys = sql.mid(ws[order + 1].end).trimmed();
        for (QString k : keys.split(u',', Qt::SkipEmptyParts)) {
            k = k.trimmed();
            if (k.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive))
                k.chop(4);
            if (k.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive))
                return p; // descending orders are not used by the screens
            k = k.trimmed();
            const int dot = k.lastIndexOf(u'.');
            if (dot >= 0)
                k = k.mid(dot + 1);
            k.remove(u'"');
            if (k.isEmpty())
                return p;
            p.orderKeys << k;
        }
    }
    p.valid = true;
    return p;
}

} // namespace obs
