#pragma once

#include <QString>
#include <QStringList>

namespace obs {

// The rates file taux.cmt of the application folder: the percentage a practitioner pays to the
// clinic and the percentage due between practitioners, kept as typed ("10","50" and CR LF).
class RatesFile {
public:
    struct Rates {
        QString clinic;
        QString practitioner;
    };
    struct Read {
        bool found = false; // the file exists and could be opened
        Rates rates;
    };

    static QString path();

    // Values are taken two at a time: the first of a pair is the clinic rate, the second the
    // rate between practitioners; the last pair wins, and a lone value sets the clinic rate only.
    static Rates fromFields(const QStringList& fields, Rates start = {});
    static Read read(const QString& path);
    // Replaces the whole file with one line, never half a file. A rate holding a double quote
    // would not read back as typed and is refused.
    static bool write(const QString& path, const Rates& rates, QString* error);
};

} // namespace obs
