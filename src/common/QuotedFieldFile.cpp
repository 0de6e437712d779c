#include "common/QuotedFieldFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace obs {

namespace {
QString fromWindows1252(const QByteArray& bytes) {
    QStringDecoder dec("windows-1252");
    if (!dec.isValid())
        return QString::fromLatin1(bytes);
    return dec(bytes);
}

QByteArray toWindows1252(const QString& text) {
    QStringEncoder enc("windows-1252");
    if (!enc.isValid())
        return text.toLatin1();
    return enc(text);
}
} // namespace

QStringList parseQuotedFields(const QByteArray& content) {
    const QString s = fromWindows1252(content);
    QStringList fields;
    int i = 0;
    const int n = s.size();
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (i < n) {
        while (i < n && (isBlank(s[i]) || s[i] == u'\r' || s[i] == u'\n'))
            ++i;
        if (i >= n)
            break;
        QString field;
        if (s[i] == u'"') {
            ++i;
            const int close = s.indexOf(u'"', i);
            if (close < 0) {
                field = s.mid(i);
                i = n;
            } else {
                field = s.mid(i, close - i);
                i = close + 1;
            }
            while (i < n && isBlank(s[i]))
                ++i;
        } else {
            const int start = i;
            while (i < n && s[i] != u',' && s[i] != u'\r' && s[i] != u'\n')
                ++i;
            field = s.mid(start, i - start).trimmed();
        }
        fields << field;
        if (i < n && s[i] == u',') {
            ++i;
            // A comma at the very end of a line stands before an empty field.
            int j = i;
            while (j < n && isBlank(s[j]))
                ++j;
            if (j >= n || s[j] == u'\r' || s[j] == u'\n') {
                fields << QString();
                i = j;
            }
        }
    }
    return fields;
}

FieldFileRead readQuotedFields(const QString& path) {
    FieldFileRead r;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return r;
    r.found = true;
    r.fields = parseQuotedFields(f.readAll());
    return r;
}

QByteArray quotedFieldLine(const QStringList& fields) {
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += '"' + toWindows1252(fields[i]) + '"';
    }
    line += "\r\n";
    return line;
}

bool writeQuotedFieldLine(const QString& path, const QStringList& fields, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    const QByteArray line = quotedFieldLine(fields);
    if (f.write(line) != line.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace obs
