#pragma once

#include <QString>
#include <QStringList>

namespace obs {

// The program's small text files: fields separated by commas, each in double quotes
// ("20","23",...), 8-bit Windows text, lines ended by CR LF.
struct FieldFileRead {
    bool found = false; // the file exists and could be opened
    QStringList fields; // every field of the file, in order
};

// Reads every field. A quoted field runs to its closing quote and may hold commas; an unquoted
// field runs to the next comma or line end, blanks around it dropped.
FieldFileRead readQuotedFields(const QString& path);
QStringList parseQuotedFields(const QByteArray& content);

// Writes one line of quoted fields and CR LF through a save file: never half a file.
bool writeQuotedFieldLine(const QString& path, const QStringList& fields, QString* error);
QByteArray quotedFieldLine(const QStringList& fields);

} // namespace obs
