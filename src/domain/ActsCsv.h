#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace obs {

// Acts written for a French spreadsheet: UTF-8 with a byte order mark, ';' between fields,
// decimal comma, dates JJ/MM/AAAA, CRLF; a field holding ';', '"' or a line break is quoted
// (a '"' doubled); a text a spreadsheet would take for a formula gets a leading apostrophe.
class ActsCsv {
public:
    static QStringList header();
    static QStringList fields(const Act& act);
    // A text field protected from being taken for a formula (a leading apostrophe).
    static QString protectedText(const QString& text);
    // One line of fields, quoted and protected as above, ending with CRLF.
    static QByteArray line(const QStringList& fields);
    // The whole file: the mark, the header line and one line an act.
    static QByteArray document(const std::vector<Act>& acts);
    // Written through a temporary file, so a failure leaves any previous file whole; false with a
    // reason when the file cannot be written.
    static bool write(const QString& path, const QByteArray& document, QString* error);
};

} // namespace obs
