#include "domain/RatesFile.h"

#include "common/AppPaths.h"
#include "common/QuotedFieldFile.h"

namespace obs {

QString RatesFile::path() {
    return applicationFile(QStringLiteral("taux.cmt"));
}

RatesFile::Rates RatesFile::fromFields(const QStringList& fields, Rates start) {
    Rates r = std::move(start);
    for (int i = 0; i < fields.size(); i += 2) {
        r.clinic = fields[i];
        if (i + 1 < fields.size())
            r.practitioner = fields[i + 1];
    }
    return r;
}

RatesFile::Read RatesFile::read(const QString& path) {
    const FieldFileRead file = readQuotedFields(path);
    Read r;
    r.found = file.found;
    if (file.found)
        r.rates = fromFields(file.fields);
    return r;
}

bool RatesFile::write(const QString& path, const Rates& rates, QString* error) {
    for (const QString& rate : {rates.clinic, rates.practitioner}) {
        if (rate.contains(u'"')) {
            if (error)
                *error = QStringLiteral("un taux ne peut pas contenir de guillemet (« %1 »)").arg(rate);
            return false;
        }
    }
    return writeQuotedFieldLine(path, {rates.clinic, rates.practitioner}, error);
}

} // namespace obs
