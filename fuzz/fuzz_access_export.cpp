// What mdbtools prints of an Access table, as a damaged file may make it print anything: read whole
// or refused, never half a row.
#include "FuzzSupport.h"
#include "domain/AccessExport.h"

using namespace obs;
using namespace obs::fuzz;

namespace {

// The table printed back as mdb-export prints it, every field quoted.
QByteArray printed(const AccessTable& t) {
    QByteArray out = t.columns.join(u',').toUtf8() + '\n';
    for (const QStringList& row : t.rows) {
        QByteArrayList fields;
        for (const QString& f : row)
            fields << (f.isEmpty() ? QByteArray() : '"' + f.toUtf8().replace('"', "\"\"") + '"');
        out += fields.join(',') + '\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    AccessTable table;
    QString why;
    if (!readAccessExport(bytes, &table, &why)) {
        FUZZ_CHECK(why.startsWith(QStringLiteral("ligne ")), QStringLiteral("refused without a line: %1").arg(why));
        return 0;
    }
    FUZZ_CHECK(table.rows.size() == table.lines.size(), QStringLiteral("rows and lines differ"));
    for (size_t i = 0; i < table.rows.size(); ++i) {
        FUZZ_CHECK(table.rows[i].size() == table.columns.size(), QStringLiteral("row %1 has %2 fields for %3 names")
                                                                     .arg(i)
                                                                     .arg(table.rows[i].size())
                                                                     .arg(table.columns.size()));
        FUZZ_CHECK(i == 0 || table.lines[i] > table.lines[i - 1], QStringLiteral("lines out of order"));
    }
    // Printed back and read again, the same table.
    AccessTable again;
    FUZZ_CHECK(readAccessExport(printed(table), &again, &why), QStringLiteral("printed back, refused: %1").arg(why));
    FUZZ_CHECK(again.columns == table.columns && again.rows == table.rows,
               QStringLiteral("printed back, read otherwise: %1").arg(escaped(bytes)));
    return 0;
}
