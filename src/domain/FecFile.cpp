// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/FecFile.h"

#include "common/DayNumber.h"
#include "domain/ActsCsv.h"
#include "domain/ReceiptsSheet.h"
#include "store/Store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace obs {

namespace {

// The eight places where ISO 8859-15 differs from Latin-1.
constexpr std::pair<char16_t, unsigned char> kLatin9[] = {{u'€', 0xA4}, {u'Š', 0xA6}, {u'š', 0xA8}, {u'Ž', 0xB4},
                                                          {u'ž', 0xB8}, {u'Œ', 0xBC}, {u'œ', 0xBD}, {u'Ÿ', 0xBE}};

// The byte of a character in ISO 8859-15; -1 when it has none.
int latin9Byte(char32_t c) {
    for (const auto& [u, b] : kLatin9) {
        if (c == u)
            return b;
        if (c == b) // the Latin-1 sign whose place Latin-9 gave away
            return -1;
    }
    return c < 0x100 ? int(c) : -1;
}

QString fecDate(const StoredDay& day) {
    return day ? dateOfDayNumber(*day).toString(QStringLiteral("yyyyMMdd")) : QString();
}

// A field never holds the separator or a line break.
QString field(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return text.trimmed();
}

} // namespace

QByteArray toLatin9(const QString& text, qsizetype* replaced) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        int b = latin9Byte(c);
        if (b < 0) {
            // A letter with an accent Latin-9 lacks keeps its base letter.
            const QString base = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
            b = base.isEmpty() ? -1 : latin9Byte(base.at(0).unicode());
            if (b < 0x41)
                b = '?';
            if (replaced)
                ++*replaced;
        }
        out.append(char(b));
    }
    return out;
}

QStringList FecFile::header() {
    return {QStringLiteral("JournalCode"),  QStringLiteral("JournalLib"),    QStringLiteral("EcritureNum"),
            QStringLiteral("EcritureDate"), QStringLiteral("CompteNum"),     QStringLiteral("CompteLib"),
            QStringLiteral("CompAuxNum"),   QStringLiteral("CompAuxLib"),    QStringLiteral("PieceRef"),
            QStringLiteral("PieceDate"),    QStringLiteral("EcritureLib"),   QStringLiteral("Debit"),
            QStringLiteral("Credit"),       QStringLiteral("EcritureLet"),   QStringLiteral("DateLet"),
            QStringLiteral("ValidDate"),    QStringLiteral("Montantdevise"), QStringLiteral("Idevise"),
            QStringLiteral("DateRglt"),     QStringLiteral("ModeRglt"),      QStringLiteral("NatOp"),
            QStringLiteral("IdClient")};
}

QString FecFile::sirenProblem(const QString& siren) {
    static const QRegularExpression nineDigits(QStringLiteral("^[0-9]{9}$"));
    if (nineDigits.match(siren).hasMatch()) {
        // The last digit is a Luhn key: a slip of one digit or two swapped ones is caught here,
        // not by the accountant's software.
        int sum = 0;
        for (int i = 0; i < 9; ++i) {
            int d = siren[8 - i].digitValue();
            if (i % 2 == 1)
                d = d * 2 > 9 ? d * 2 - 9 : d * 2;
            sum += d;
        }
        if (sum % 10 == 0)
            return QString();
        return QStringLiteral("Le numéro SIREN « %1 » n'est pas valable : son dernier chiffre (la clé de contrôle) "
                              "ne correspond pas aux huit autres. Recopiez-le depuis l'avis de situation INSEE.")
            .arg(siren);
    }
    if (siren.isEmpty())
        return QStringLiteral("Le numéro SIREN manque : il donne son nom au fichier des écritures comptables "
                              "(9 chiffres).");
    return QStringLiteral("Le numéro SIREN « %1 » n'est pas valable : il s'écrit avec 9 chiffres, sans espace.")
        .arg(siren);
}

QString FecFile::yearProblem(const QString& year, int* value) {
    static const QRegularExpression fourDigits(QStringLiteral("^[0-9]{4}$"));
    const int y = year.toInt();
    if (!fourDigits.match(year).hasMatch() || y < kFirstStatementYear || y > kLastStatementYear)
        return QStringLiteral("L'exercice « %1 » n'est pas une année (AAAA, par exemple 2025).").arg(year);
    if (value)
        *value = y;
    return QString();
}

QString FecFile::fileName(const QString& siren, int year) {
    return QStringLiteral("%1FEC%2.txt").arg(siren).arg(year * 10000 + 1231);
}

QString FecFile::descriptionName(const QString& siren, int year) {
    return QStringLiteral("%1FEC%2-descriptif.txt").arg(siren).arg(year * 10000 + 1231);
}

std::vector<QStringList> FecFile::rows(const ReceiptsBook& yearBook, const Request& r) {
    // Receipts and outgoings in one sequence, by day of receipt, then in the journal's order.
    std::vector<const ReceiptLine*> lines;
    lines.reserve(yearBook.receipts.size() + yearBook.outgoings.size());
    for (const auto* list : {&yearBook.receipts, &yearBook.outgoings}) {
        for (const ReceiptLine& l : *list) {
            if (l.day && l.amount != Money())
                lines.push_back(&l);
        }
    }
    std::sort(lines.begin(), lines.end(), [](const ReceiptLine* a, const ReceiptLine* b) {
        return std::pair(*a->day, a->entry) < std::pair(*b->day, b->entry);
    });

    const Settings::LedgerAccounts& acc = r.accounts;
    std::vector<QStringList> rows;
    rows.reserve(lines.size() * 2);
    qint64 number = 0;
    for (const ReceiptLine* l : lines) {
        const QString num = QString::number(++number);
        const QString date = fecDate(l->day);
        const QString valid = l->writtenOn ? fecDate(l->writtenOn) : date;
        const QString piece = QString::number(l->act);
        const QString pieceDate = l->actDate ? fecDate(l->actDate) : date;
        const QString patient =
            r.withNames ? field(l->surname + u' ' + l->firstName) : QStringLiteral("Acte n° %1").arg(l->act);
        const Settings::LedgerAccount& treasury =
            l->mode == PaymentMode::Cash ? acc.cash : acc.bank; // every other mode goes through the bank
        Settings::LedgerAccount counterpart;
        QString label, nature, client;
        switch (l->side) {
        case ReceiptSide::Fee:
            counterpart = acc.fees;
            label = QStringLiteral("Honoraires %1 - %2").arg(patient, payerLabelOf(l->payer));
            nature = QStringLiteral("Honoraires");
            client = patient;
            break;
        case ReceiptSide::ReversalReceived:
            counterpart = acc.reversalsReceived;
            label = QStringLiteral("Rétrocession de %1 - acte n° %2").arg(l->payer).arg(l->act);
            nature = QStringLiteral("Rétrocession reçue");
            client = l->payer;
            break;
        case ReceiptSide::ReversalPaid:
            counterpart = acc.reversalsPaid;
            label = QStringLiteral("Rétrocession à %1 - acte n° %2").arg(l->payee).arg(l->act);
            nature = QStringLiteral("Rétrocession versée");
            client = l->payee;
            break;
        }
        // Money in: the treasury is debited; paid over, it is credited. A correction (below zero)
        // turns the sides round, so that no amount is below zero.
        const bool in = l->side != ReceiptSide::ReversalPaid;
        const bool negative = l->amount < Money();
        const bool treasuryDebit = in != negative;
        const QString amount = Money::fromUnits(negative ? -l->amount.units() : l->amount.units()).toFrenchFixed2();
        const QString zero = QStringLiteral("0,00");
        auto line = [&](const Settings::LedgerAccount& account, bool debit) {
            return QStringList{field(acc.journal.number),
                               field(acc.journal.label),
                               num,
                               date,
                               field(account.number),
                               field(account.label),
                               QString(),
                               QString(),
                               piece,
                               pieceDate,
                               field(label),
                               debit ? amount : zero,
                               debit ? zero : amount,
                               QString(),
                               QString(),
                               valid,
                               QString(),
                               QString(),
                               date,
                               l->mode ? paymentModeLabel(*l->mode) : QString(),
                               nature,
                               field(client)};
        };
        rows.push_back(line(treasury, treasuryDebit));
        rows.push_back(line(counterpart, !treasuryDebit));
    }
    return rows;
}

QByteArray FecFile::document(const std::vector<QStringList>& rows, qsizetype* replaced) {
    if (replaced)
        *replaced = 0;
    QByteArray doc = toLatin9(header().join(u'\t')) + "\r\n";
    for (const QStringList& row : rows)
        doc += toLatin9(row.join(u'\t'), replaced) + "\r\n";
    return doc;
}

QByteArray FecFile::description(const Request& r, qsizetype entries, qsizetype replaced, const QString& beforeJournal) {
    const Settings::LedgerAccounts& a = r.accounts;
    auto account = [](const Settings::LedgerAccount& x) { return x.number + QStringLiteral(" ") + x.label; };
    QString t;
    t += QStringLiteral("Fichier des écritures comptables %1\r\n").arg(fileName(r.siren, r.year));
    t += QStringLiteral("Exercice du 01/01/%1 au 31/12/%1, comptabilité de trésorerie (recettes encaissées).\r\n")
             .arg(r.year);
    t += QStringLiteral("Praticien : %1. SIREN : %2.\r\n").arg(r.practitioner, r.siren);
    t += QStringLiteral("Écritures : %1, de deux lignes chacune, numérotées de 1 à %1 dans l'ordre des dates.\r\n")
             .arg(entries);
    t += QStringLiteral("\r\nForme : texte ISO 8859-15, une ligne d'en-tête puis une ligne par ligne d'écriture, "
                        "fin de ligne CR LF, champs séparés par une tabulation, sans guillemets ; dates AAAAMMJJ ; "
                        "montants avec une virgule décimale, deux décimales, sans séparateur de milliers.\r\n");
    if (replaced > 0)
        t += QStringLiteral("%1 caractère(s) absent(s) de l'ISO 8859-15 ont été écrits par leur lettre de base "
                            "ou par « ? ».\r\n")
                 .arg(replaced);
    t += QStringLiteral("\r\nChamps : %1.\r\n").arg(header().join(QStringLiteral(", ")));
    t += QStringLiteral("EcritureDate et DateRglt : date de réception ; PieceRef : numéro de l'acte ; PieceDate : "
                        "date de l'acte ; ValidDate : date d'enregistrement du paiement ; ModeRglt : mode de "
                        "paiement ; NatOp : nature de l'opération ; IdClient : %1.\r\n")
             .arg(r.withNames ? QStringLiteral("nom de la patiente, ou le confrère pour une rétrocession")
                              : QStringLiteral("numéro de l'acte (sans nom de patiente), ou le confrère pour une "
                                               "rétrocession"));
    t += QStringLiteral("\r\nJournal : %1.\r\nComptes :\r\n").arg(account(a.journal));
    t += QStringLiteral("  %1 : virements, chèques, cartes et autres modes\r\n").arg(account(a.bank));
    t += QStringLiteral("  %1 : espèces\r\n").arg(account(a.cash));
    t += QStringLiteral("  %1 : honoraires reçus (Sécu, complémentaire, patiente)\r\n").arg(account(a.fees));
    t += QStringLiteral("  %1 : sommes reversées par les confrères\r\n").arg(account(a.reversalsReceived));
    t += QStringLiteral("  %1 : sommes reversées aux confrères\r\n").arg(account(a.reversalsPaid));
    t += QStringLiteral("Une correction (montant négatif) inverse le débit et le crédit. Les reprises sans date "
                        "de réception (avant la tenue du journal) n'y figurent pas.\r\n");
    if (!beforeJournal.isEmpty())
        t += beforeJournal + QStringLiteral("\r\n");
    return toLatin9(t);
}

FecFile::Outcome FecFile::write(Store& store, const Request& r, const QString& folder, QString* path,
                                QString* message) {
    path->clear();
    if (const QString problem = sirenProblem(r.siren); !problem.isEmpty()) {
        *message = problem;
        return Outcome::BadInput;
    }
    if (const QString problem = yearProblem(QString::number(r.year), nullptr); !problem.isEmpty()) {
        *message = problem;
        return Outcome::BadInput;
    }
    if (!QFileInfo(folder).isDir()) {
        *message = QStringLiteral("Le dossier « %1 » n'existe pas.").arg(folder);
        return Outcome::BadInput;
    }
    ReferenceEntry entry;
    bool found = false;
    Status s = store.references().find(ReferenceList::Practitioners, r.practitioner, &entry, &found);
    if (s && !found) {
        *message = QStringLiteral("Le praticien « %1 » n'est pas dans la liste des praticiens.").arg(r.practitioner);
        return Outcome::BadInput;
    }
    ReceiptsBook book;
    const auto starts = monthStarts(r.year);
    if (s)
        s = store.journal().receipts(r.practitioner, Period{starts[0], starts[12] - 1}, &book);
    if (!s) {
        *message = QStringLiteral("Le livre des recettes n'a pas pu être lu : %1").arg(s.message);
        return Outcome::Failed;
    }
    const auto lines = rows(book, r);
    qsizetype replaced = 0;
    const QByteArray doc = document(lines, &replaced);
    const QDir dir(folder);
    const QString file = dir.absoluteFilePath(fileName(r.siren, r.year));
    const QString about = dir.absoluteFilePath(descriptionName(r.siren, r.year));
    const bool hadDescription = QFileInfo::exists(about);
    QString error;
    const QString beforeJournal = beforeJournalNotice(
        book, QStringLiteral("le livre des recettes ni dans le fichier %1").arg(fileName(r.siren, r.year)));
    if (!ActsCsv::write(about, description(r, qsizetype(lines.size() / 2), replaced, beforeJournal), &error) ||
        !ActsCsv::write(file, doc, &error)) {
        if (!hadDescription)
            QFile::remove(about);
        *message = error;
        return Outcome::Failed;
    }
    *path = file;
    *message = beforeJournal;
    return Outcome::Written;
}

} // namespace obs
