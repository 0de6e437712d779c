// The tariff file as anyone may have edited it: read, grouped by 44, summed, and written back.
#include "FuzzSupport.h"
#include "common/QuotedFieldFile.h"
#include "domain/TariffFile.h"

#include <algorithm>

using namespace obs;
using namespace obs::fuzz;

namespace {
// What the editor checks one box at a time before it saves: no double quote, and the 8-bit file
// gives the value back.
bool savableAlone(const QString& value) {
    return !value.contains(u'"') && parseQuotedFields(quotedFieldLine({value})) == QStringList{value};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    const QStringList fields = parseQuotedFields(bytes);
    const TariffFile::Read file = TariffFile::read(writeScratchFile(bytes));

    const int n = int(fields.size());
    const int groups = n / TariffFile::FieldCount;
    FUZZ_CHECK(file.found, QStringLiteral("the scratch file was not read"));
    FUZZ_CHECK(file.groups == groups && file.incomplete == (n % TariffFile::FieldCount != 0),
               QStringLiteral("%1 fields gave %2 groups, incomplete %3").arg(n).arg(file.groups).arg(file.incomplete));
    FUZZ_CHECK(file.values.size() == TariffFile::FieldCount, QStringLiteral("%1 values shown").arg(file.values.size()));
    const QStringList expected = groups > 0 ? fields.mid((groups - 1) * TariffFile::FieldCount, TariffFile::FieldCount)
                                            : TariffFile::initialTexts();
    FUZZ_CHECK(file.values == expected, QStringLiteral("not the last complete group"));

    const TariffFile::Sums sums = TariffFile::sums(file.values);
    FUZZ_CHECK(!sums.csMcsMpc || sums.csMcs, QStringLiteral("CS + MCS + MPC without CS + MCS"));
    if (sums.csMcsMpc)
        FUZZ_CHECK(sums.csMcsMpc == sums.csMcs->plus(*Money::parse(file.values.value(3))),
                   QStringLiteral("CS + MCS + MPC is not CS + MCS plus MPC"));

    // Values that pass the editor's checks one by one must come back whole from the line it writes.
    const QByteArray line = quotedFieldLine(file.values);
    if (parseQuotedFields(line) != file.values) {
        const bool savable = std::all_of(file.values.begin(), file.values.end(), savableAlone);
        FUZZ_CHECK(!savable, QStringLiteral("line written %1 reads back otherwise").arg(escaped(line)));
    }
    return 0;
}
