// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Settings.h"
#include "store/Receipts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace obs {

class Store;

// The accountant's file of a practitioner's year, the "fichier des écritures comptables" (FEC) in
// the layout of books kept on receipts: the 18 standard fields, then DateRglt, ModeRglt, NatOp and
// IdClient; a header line, fields apart by a tab, lines ending CR LF, dates AAAAMMJJ, amounts with a
// decimal comma and two decimals, no quotes, ISO 8859-15. Each receipt is one balanced entry of two
// lines (bank or cash against fees; a sum paid over between colleagues against its own account),
// numbered from 1 without gaps in date order. Opening entries, without a date, are not in it.
class FecFile {
public:
    struct Request {
        QString practitioner; // as the list of practitioners holds it
        int year = 0;
        QString siren;          // nine digits
        bool withNames = false; // the act number stands for the patient otherwise
        Settings::LedgerAccounts accounts;
    };

    static QStringList header();
    // A French reason when the SIREN or the year cannot be used; empty when they can.
    static QString sirenProblem(const QString& siren);
    static QString yearProblem(const QString& year, int* value);
    // <SIREN>FEC<AAAAMMJJ>.txt, the year's closing date; its description beside it.
    static QString fileName(const QString& siren, int year);
    static QString descriptionName(const QString& siren, int year);

    // The lines of the year's book (receipts and outgoings together, by day then entry), unencoded.
    static std::vector<QStringList> rows(const ReceiptsBook& yearBook, const Request& request);
    // The file itself: the header and the rows encoded. *replaced: characters ISO 8859-15 lacks,
    // written as their base letter or '?'.
    static QByteArray document(const std::vector<QStringList>& rows, qsizetype* replaced = nullptr);
    // beforeJournal: what the year's book leaves out (beforeJournalNotice), said in the description.
    static QByteArray description(const Request& request, qsizetype entries, qsizetype replaced,
                                  const QString& beforeJournal = QString());

    enum class Outcome { Written, BadInput, Failed };
    // Checks the request (a known practitioner, a SIREN of nine digits, a year, an existing folder)
    // before anything is read or written, reads the year's book and writes the file and its
    // description through temporary files: nothing is left on a failure. *path: the file written;
    // *message once written: the year's acts paid before the journal, which the file leaves out
    // (empty when none).
    static Outcome write(Store& store, const Request& request, const QString& folder, QString* path, QString* message);
};

// A text in ISO 8859-15 (Latin-9: Latin-1 but € Š š Ž ž Œ œ Ÿ in place of eight signs); a character
// outside it is written as its base letter when it has one (ă: a), else '?'. *replaced counts them.
QByteArray toLatin9(const QString& text, qsizetype* replaced = nullptr);

} // namespace obs
