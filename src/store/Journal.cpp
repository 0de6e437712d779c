// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Journal.h"

#include "store/Tables.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace obs {

namespace {

struct Coded {
    const char* code;
    const char* label;
};

constexpr Coded kKinds[] = {
    {"creation", "Création"}, {"modification", "Modification"}, {"suppression", "Suppression"},
    {"paiement", "Paiement"}, {"reversement", "Reversement"},   {"liste", "Liste"},
    {"reprise", "Reprise"},
};
constexpr Coded kModes[] = {
    {"virement", "Virement"},    {"cheque", "Chèque"}, {"especes", "Espèces"},
    {"carte", "Carte bancaire"}, {"autre", "Autre"},
};
constexpr Coded kPayers[] = {{"secu", "Sécu"}, {"complementaire", "Complémentaire"}, {"patiente", "Patiente"}};

template <std::size_t N> std::optional<int> indexOf(const Coded (&table)[N], const QString& code) {
    for (std::size_t i = 0; i < N; ++i) {
        if (code == QLatin1String(table[i].code))
            return int(i);
    }
    return std::nullopt;
}

// A field of the canonical text: backslashes and the separators escaped, so that no two entries
// share a text.
QString field(const QString& text) {
    QString t = text;
    t.replace(u'\\', QStringLiteral("\\\\"));
    t.replace(u'\x1f', QStringLiteral("\\u"));
    return t;
}

QString field(const std::optional<qint64>& n) {
    return n ? QString::number(*n) : QStringLiteral("-");
}

QJsonValue jsonOf(const std::optional<QString>& v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

// The stored form of a record's columns, by name, in the table's order.
template <class R> std::vector<std::pair<QString, std::optional<QString>>> storedForm(const Table<R>& t, const R& r) {
    const QVariantList values = storedValues(t, r);
    std::vector<std::pair<QString, std::optional<QString>>> out;
    int i = 0;
    for (const auto& c : t.columns) {
        const QVariant& v = values.at(i++);
        out.emplace_back(QString::fromLatin1(c.name), v.isNull() ? std::nullopt : std::optional(v.toString()));
    }
    return out;
}

template <class R>
std::vector<ColumnChange> changesBetween(const Table<R>& t, const std::optional<R>& before,
                                         const std::optional<R>& after, const QStringList& skipped) {
    std::vector<ColumnChange> out;
    const auto b = before ? storedForm(t, *before) : decltype(storedForm(t, *before))();
    const auto a = after ? storedForm(t, *after) : decltype(storedForm(t, *after))();
    const auto count = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < count; ++i) {
        const QString& column = i < a.size() ? a[i].first : b[i].first;
        if (skipped.contains(column))
            continue;
        std::optional<QString> was = i < b.size() ? b[i].second : std::nullopt;
        std::optional<QString> is = i < a.size() ? a[i].second : std::nullopt;
        // An empty text is what a missing one shows.
        if (was && was->isEmpty())
            was.reset();
        if (is && is->isEmpty())
            is.reset();
        if (was != is)
            out.push_back({column, was, is});
    }
    return out;
}

} // namespace

QString journalKindCode(JournalKind kind) {
    return QString::fromLatin1(kKinds[int(kind)].code);
}

std::optional<JournalKind> journalKindOf(const QString& code) {
    const auto i = indexOf(kKinds, code);
    return i ? std::optional(JournalKind(*i)) : std::nullopt;
}

QString journalKindLabel(JournalKind kind) {
    return QString::fromUtf8(kKinds[int(kind)].label);
}

QString paymentModeCode(PaymentMode mode) {
    return QString::fromLatin1(kModes[int(mode)].code);
}

QString paymentModeLabel(PaymentMode mode) {
    return QString::fromUtf8(kModes[int(mode)].label);
}

std::optional<PaymentMode> paymentModeOf(const QString& code) {
    const auto i = indexOf(kModes, code);
    return i ? std::optional(PaymentMode(*i)) : std::nullopt;
}

QString payerCode(Payer payer) {
    return QString::fromLatin1(kPayers[int(payer)].code);
}

QString payerLabel(Payer payer) {
    return QString::fromUtf8(kPayers[int(payer)].label);
}

QString payerLabelOf(const QString& code) {
    const auto i = indexOf(kPayers, code);
    return i ? payerLabel(Payer(*i)) : code;
}

QByteArray canonicalText(const JournalEntry& e) {
    const QStringList fields{
        QString::number(e.number),
        field(e.writtenAt),
        field(e.act),
        journalKindCode(e.kind),
        field(e.receivedOn),
        field(e.payer),
        field(e.payee),
        e.mode ? paymentModeCode(*e.mode) : QStringLiteral("-"),
        field(e.amount ? std::optional(e.amount->units()) : std::nullopt),
        field(changesText(e.changes)),
        field(e.workstation),
        field(e.user),
    };
    return fields.join(u'\x1f').toUtf8();
}

QString chainHash(const QString& previousHash, const JournalEntry& entry) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previousHash.toLatin1());
    h.addData(QByteArrayView("\n"));
    h.addData(canonicalText(entry));
    return QString::fromLatin1(h.result().toHex());
}

QString changesText(const std::vector<ColumnChange>& changes) {
    if (changes.empty())
        return QString();
    QJsonArray all;
    for (const auto& c : changes)
        all.append(QJsonArray{c.column, jsonOf(c.before), jsonOf(c.after)});
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}

std::optional<std::vector<ColumnChange>> changesOf(const QString& text) {
    std::vector<ColumnChange> out;
    if (text.isEmpty())
        return out;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isArray())
        return std::nullopt;
    for (const QJsonValue& v : doc.array()) {
        const QJsonArray c = v.toArray();
        if (c.size() != 3 || !c[0].isString())
            return std::nullopt;
        auto value = [](const QJsonValue& x) { return x.isString() ? std::optional(x.toString()) : std::nullopt; };
        out.push_back({c[0].toString(), value(c[1]), value(c[2])});
    }
    return out;
}

std::vector<ColumnChange> actChanges(const std::optional<Act>& before, const std::optional<Act>& after) {
    return changesBetween(actsTable(), before, after, {QStringLiteral("NUMINT")});
}

std::vector<ColumnChange> entryChanges(const std::optional<ReferenceEntry>& before,
                                       const std::optional<ReferenceEntry>& after) {
    return changesBetween(memoTable(), before, after, {});
}

bool JournalVerifier::add(const JournalEntry& e) {
    if (!m_check.intact)
        return false;
    const qint64 expected = m_check.entries + 1;
    if (e.number != expected) {
        m_check.intact = false;
        m_check.firstBad = e.number > expected ? expected : e.number;
        m_check.problem =
            e.number > expected
                ? QStringLiteral("l'écriture n° %1 manque (la suivante est la n° %2).").arg(expected).arg(e.number)
                : QStringLiteral("l'écriture n° %1 apparaît hors de son ordre.").arg(e.number);
        return false;
    }
    if (chainHash(m_previousHash, e) != e.hash) {
        m_check.intact = false;
        m_check.firstBad = e.number;
        m_check.problem = QStringLiteral("l'écriture n° %1 ne correspond pas à son empreinte : elle a été "
                                         "modifiée, ou une écriture a été insérée avant elle.")
                              .arg(e.number);
        return false;
    }
    m_previousHash = e.hash;
    m_check.entries = e.number;
    return true;
}

JournalCheck JournalVerifier::finish(qint64 headNumber, const QString& headHash) {
    if (m_check.intact && (headNumber != m_check.entries || headHash != m_previousHash)) {
        m_check.intact = false;
        if (headNumber > m_check.entries) {
            m_check.firstBad = m_check.entries + 1;
            m_check.problem = QStringLiteral("la fin du journal manque : il devrait compter %1 écritures, il en "
                                             "reste %2.")
                                  .arg(headNumber)
                                  .arg(m_check.entries);
        } else {
            m_check.firstBad = headNumber + 1 <= m_check.entries ? headNumber + 1 : m_check.entries;
            m_check.problem = QStringLiteral("la dernière écriture (n° %1) ne correspond pas à celle que la base a "
                                             "enregistrée (n° %2).")
                                  .arg(m_check.entries)
                                  .arg(headNumber);
        }
    }
    return m_check;
}

QString journalWorkstation() {
    static const QString name = QSysInfo::machineHostName();
    return name;
}

QString journalLogin() {
    static const QString login = [] {
        if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
        return qEnvironmentVariable("USER");
    }();
    return login;
}

} // namespace obs
