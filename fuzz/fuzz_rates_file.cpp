// The rates file as anyone may have edited it: read two at a time, the last pair winning.
#include "FuzzSupport.h"
#include "common/QuotedFieldFile.h"
#include "domain/RatesFile.h"

#include <QDir>
#include <QFileInfo>

using namespace obs;
using namespace obs::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    const QStringList fields = parseQuotedFields(bytes);
    const QString path = writeScratchFile(bytes);
    const RatesFile::Read file = RatesFile::read(path);
    FUZZ_CHECK(file.found, QStringLiteral("the scratch file was not read"));

    // The last pair wins; after an odd count the lone last value is the clinic's rate and the
    // practitioners' rate stays that of the pair before it.
    const int n = int(fields.size());
    RatesFile::Rates want;
    if (n > 0 && n % 2 == 0) {
        want.clinic = fields[n - 2];
        want.practitioner = fields[n - 1];
    } else if (n > 0) {
        want.clinic = fields[n - 1];
        if (n >= 3)
            want.practitioner = fields[n - 2];
    }
    FUZZ_CHECK(file.rates.clinic == want.clinic && file.rates.practitioner == want.practitioner,
               QStringLiteral("read %1 / %2 instead of %3 / %4 from %5 fields")
                   .arg(escaped(file.rates.clinic), escaped(file.rates.practitioner), escaped(want.clinic),
                        escaped(want.practitioner))
                   .arg(n));

    // What is written reads back as typed, or is refused before the file is touched.
    const bool quote = file.rates.clinic.contains(u'"') || file.rates.practitioner.contains(u'"');
    if (quote) {
        const QString refused = QFileInfo(path).dir().filePath(QStringLiteral("refused.cmt"));
        QString error;
        FUZZ_CHECK(!RatesFile::write(refused, file.rates, &error) && !error.isEmpty(),
                   QStringLiteral("a rate with a double quote was written"));
        FUZZ_CHECK(!QFileInfo::exists(refused), QStringLiteral("a refused rate left a file"));
    } else {
        const QByteArray line = quotedFieldLine({file.rates.clinic, file.rates.practitioner});
        const auto again = RatesFile::fromFields(parseQuotedFields(line));
        if (again.clinic != file.rates.clinic || again.practitioner != file.rates.practitioner) {
            // Only a fault when each rate alone survives the 8-bit file.
            const bool encodable =
                parseQuotedFields(quotedFieldLine({file.rates.clinic})) == QStringList{file.rates.clinic} &&
                parseQuotedFields(quotedFieldLine({file.rates.practitioner})) == QStringList{file.rates.practitioner};
            FUZZ_CHECK(!encodable, QStringLiteral("line written %1 reads back otherwise").arg(escaped(line)));
        }
    }
    return 0;
}
