#include "domain/ActsCsv.h"

#include "common/DayNumber.h"
#include "common/PrivateFile.h"
#include "domain/Remainder.h"

#include <QSaveFile>

namespace obs {

namespace {

QString amount(const std::optional<Money>& m) {
    return m ? m->toFrench() : QString();
}

QString date(const StoredDay& day) {
    return day ? frenchDate(dateOfDayNumber(*day)) : QString();
}

QString quoted(const QString& field) {
    if (!field.contains(u';') && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r'))
        return field;
    QString f = field;
    f.replace(u'"', QStringLiteral("\"\""));
    return u'"' + f + u'"';
}

} // namespace

// A text field, not one of the amounts or dates the writer itself formats.
QString ActsCsv::protectedText(const QString& text) {
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        return u'\'' + text;
    return text;
}

QStringList ActsCsv::header() {
    return {QStringLiteral("N°"),
            QStringLiteral("Nom"),
            QStringLiteral("Prénom"),
            QStringLiteral("Date"),
            QStringLiteral("Suivi par"),
            QStringLiteral("Réalisé par"),
            QStringLiteral("Acte"),
            QStringLiteral("CCAM"),
            QStringLiteral("Nuit/Férié"),
            QStringLiteral("Acte secondaire 1"),
            QStringLiteral("Acte secondaire 2"),
            QStringLiteral("Acte secondaire 3"),
            QStringLiteral("Acte secondaire 4"),
            QStringLiteral("Acte secondaire 5"),
            QStringLiteral("Montant"),
            QStringLiteral("DE"),
            QStringLiteral("Payé Sécu"),
            QStringLiteral("Payé complémentaire"),
            QStringLiteral("Payé DE"),
            QStringLiteral("Reste dû"),
            QStringLiteral("Reversé"),
            QStringLiteral("Date du reversement")};
}

QStringList ActsCsv::fields(const Act& a) {
    QStringList f{
        QString::number(a.number),      protectedText(a.surname),     protectedText(a.firstName), date(a.date),
        protectedText(a.followedBy),    protectedText(a.performedBy), protectedText(a.act),       protectedText(a.code),
        protectedText(a.nightOrHoliday)};
    for (const QString& s : a.secondary)
        f << protectedText(s);
    f << amount(a.price) << amount(a.excess) << amount(a.paidSecu) << amount(a.paidComplementary)
      << amount(a.paidExcess) << frenchAmountText(remainderDue(a)) << amount(a.reversed) << date(a.reversalDate);
    return f;
}

QByteArray ActsCsv::line(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields)
        out << quoted(f);
    return (out.join(u';') + QStringLiteral("\r\n")).toUtf8();
}

QByteArray ActsCsv::document(const std::vector<Act>& acts) {
    QByteArray doc("\xEF\xBB\xBF");
    doc += line(header());
    for (const Act& a : acts)
        doc += line(fields(a));
    return doc;
}

bool ActsCsv::write(const QString& path, const QByteArray& document, QString* error) {
    QSaveFile file(path);
    QString rights;
    if (!file.open(QIODevice::WriteOnly) || !restrictToClinic(file, path, &rights) ||
        file.write(document) != document.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Le fichier « %1 » n'a pas pu être écrit : %2")
                         .arg(path, rights.isEmpty() ? file.errorString() : rights);
        return false;
    }
    return true;
}

} // namespace obs
