#include "domain/TariffFile.h"

#include "common/AppPaths.h"
#include "common/QuotedFieldFile.h"

namespace obs {

namespace {
// clang-format off
const std::array<TariffField, TariffFile::FieldCount> kFields{{
    {"TxtEC", "C", "", "20"},
    {"TxtECs", "CS", "", "23"},
    {"TxtMCS", "MCS", "", "2"},
    {"TxtMPC", "MPC", "", "2"},
    {"TxtENuit", "Indemnité Nuit", "", "25,15"},
    {"TxtEFerie", "Indemnité Férié", "", "19,06"},
    {"TxtGyn01", "Pose DIU", "JKLD001", "38.40"},
    {"TxtGyn02", "Retrait + Pose DIU", "JKKD001", "38.40"},
    {"TxtGyn03", "Retrait DIU + Instrument", "JKGD001", "62.70"},
    {"TxtGyn04", "Biopsie du Col", "JKHA002", "13.51"},
    {"TxtGyn05", "Biopsie de l'endomètre", "JKHA001", "42.24"},
    {"TxtGyn06", "Ablation polype endocol", "JKFD001", "62.70"},
    {"TxtGyn07", "Colposcopie", "JLQE002", "29.31"},
    {"TxtGyn08", "Pose Implant sous cut.", "QZLA004", "12.37"},
    {"TxtGyn09", "Retrait Implant sous cut.", "QZGA002", "41.80"},
    {"TxtGyn10", "Frottis", "JKHD001", "7.97"},
    {"TxtPMA01", "Prise en charge PMA", "YYYY032", "61.44"},
    {"TxtPMA02", "Insémin. intra cervicale", "JSLD002", "38.40"},
    {"TxtPMA03", "Insémin. intra utérine", "JSLD001", "38.40"},
    {"TxtPMA04", "Ponction FIV / ICSI", "JQGDM003", ""},
    {"TxtPMA05", "Transfert Embryonnaire", "JSED001", "52.25"},
    {"TxtEObs01", "Echo Av 11 SA", "JNQM001", "33.32"},
    {"TxtEObs02", "Echo 1er Ter", "JQQM010", "40.54"},
    {"TxtEObs03", "Echo 2ème Ter", "JQQM018", "71.05"},
    {"TxtEObs04", "Echo 3ème Ter", "JQQM016", "58.39"},
    {"TxtEObs05", "Echo de croissance (EP)", "JQQM001", "42.55"},
    {"TxtEObs06", "Echo + Dopplers 2T ou 3T pour SF", "JQQM002", "76.89"},
    {"TxtEObs07", "Echo de croissance + Dopplers", "JQQM003", "75.60"},
    {"TxtEObs08", "E. Surveill. patho. gravidique foetale ou mat.", "YYYY008", "30.24"},
    {"TxtEObs09", "E. Surveill. hors patho Gravidique avec ou pas dopplers", "YYYY172", "37.80"},
    {"TxtEObs10", "Echo Dop. du coeur et des Vx Tho.", "JQQM008", "118.69"},
    {"TxtEObs11", "Echo mesure du col", "JQQJ037", "33.34"},
    {"TxtEObs12", "Echo G multiple 1er Ter", "JQQM015", "43.88"},
    {"TxtEObs13", "Echo G multiple 2ème Ter", "JQQM019", "126.83"},
    {"TxtEObs14", "Echo G multiple 3ème Ter", "JQQM017", "101.50"},
    {"TxtEObs15", "E. Surveill. hors patho Gravidique avec ou pas dopplers (G Multiple)", "YYYY075", "60.48"},
    {"TxtEObs16", "E. à partir de 2T +Doppler des utérines et des vx SF (G. Multiple)", "JQGDM007", "108.72"},
    {"TxtEGyn01", "Echo pelvienne abdominale", "ZCQM003", "56.70"},
    {"TxtEGyn02", "Echo pelvienne Endovaginale", "ZCQJ003", "56.70"},
    {"TxtEGyn03", "Hystérosonographie", "JQKJ001", "64.11"},
    {"TxtEGyn04", "Echo pelvienne + Dopplers", "ZCQJ002", "76.60"},
    {"TxtEGyn05", "Echo monitorage ovulation", "ZCQM007", "37.80"},
    {"TxtEGyn06", "Echo monitorage ov. + Doppler", "ZCQM009", "40.33"},
    {"TxtEGyn07", "Echo du Sein", "QEQM001", "48.58"},
}};
// clang-format on
} // namespace

const std::array<TariffField, TariffFile::FieldCount>& TariffFile::fields() {
    return kFields;
}

QStringList TariffFile::initialTexts() {
    QStringList texts;
    for (const TariffField& f : kFields)
        texts << QString::fromUtf8(f.initial);
    return texts;
}

QString TariffFile::path() {
    return applicationFile(QStringLiteral("tarifs.cmt"));
}

TariffFile::Read TariffFile::read(const QString& filePath) {
    Read r;
    r.values = initialTexts();
    const FieldFileRead file = readQuotedFields(filePath);
    r.found = file.found;
    const int n = int(file.fields.size());
    r.groups = n / FieldCount;
    r.incomplete = n % FieldCount != 0;
    if (r.groups > 0)
        r.values = file.fields.mid((r.groups - 1) * FieldCount, FieldCount);
    return r;
}

bool TariffFile::write(const QStringList& values, QString* error, const QString& filePath) {
    if (values.size() != FieldCount) {
        if (error)
            *error = QStringLiteral("%1 valeurs au lieu de %2.").arg(values.size()).arg(FieldCount);
        return false;
    }
    return writeQuotedFieldLine(filePath, values, error);
}

TariffFile::Sums TariffFile::sums(const QStringList& values) {
    Sums s;
    const auto cs = Money::parse(values.value(1));
    const auto mcs = Money::parse(values.value(2));
    if (!cs || !mcs)
        return s;
    s.csMcs = cs->plus(mcs->roundedToEuro());
    const auto mpc = Money::parse(values.value(3));
    if (s.csMcs && mpc)
        s.csMcsMpc = s.csMcs->plus(*mpc);
    return s;
}

} // namespace obs
