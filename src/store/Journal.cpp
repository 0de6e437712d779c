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

namespace {
void appendField(QByteArray* out, QByteArrayView f) {
    if (!f.contains('\\') && !f.contains('\x1f')) {
        *out += f;
        return;
    }
    for (const char c : f) {
        if (c == '\\')
            *out += "\\\\";
        else if (c == '\x1f')
            *out += "\\u";
        else
            *out += c;
    }
}
} // namespace

QByteArray canonicalText(const std::array<QByteArrayView, kCanonicalFields>& fields,
                         std::optional<QByteArrayView> performer) {
    QByteArray out;
    out.reserve(256);
    for (int i = 0; i < kCanonicalFields; ++i) {
        if (i > 0)
            out += '\x1f';
        appendField(&out, fields[size_t(i)]);
    }
    if (performer) {
        out += '\x1f';
        appendField(&out, *performer);
    }
    return out;
}

QByteArray canonicalText(const JournalEntry& e) {
    auto number = [](const std::optional<qint64>& n) { return n ? QByteArray::number(*n) : QByteArray("-"); };
    const std::array<QByteArray, kCanonicalFields> held{
        QByteArray::number(e.number),
        e.writtenAt.toUtf8(),
        number(e.act),
        journalKindCode(e.kind).toUtf8(),
        number(e.receivedOn),
        e.payer.toUtf8(),
        e.payee.toUtf8(),
        e.mode ? paymentModeCode(*e.mode).toUtf8() : QByteArray("-"),
        number(e.amount ? std::optional(e.amount->units()) : std::nullopt),
        changesText(e.changes).toUtf8(),
        e.workstation.toUtf8(),
        e.user.toUtf8(),
    };
    std::array<QByteArrayView, kCanonicalFields> fields;
    for (int i = 0; i < kCanonicalFields; ++i)
        fields[size_t(i)] = held[size_t(i)];
    const QByteArray performer = e.performer.toUtf8();
    return canonicalText(fields, e.performer.isEmpty() ? std::nullopt : std::optional<QByteArrayView>(performer));
}

namespace {
QByteArray hashOf(QByteArrayView previousHash, const QByteArray& canonical) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previousHash);
    h.addData(QByteArrayView("\n"));
    h.addData(canonical);
    return h.result().toHex();
}
} // namespace

QString chainHash(const QString& previousHash, const JournalEntry& entry) {
    return QString::fromLatin1(hashOf(previousHash.toLatin1(), canonicalText(entry)));
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
    return add(e.number, canonicalText(e), e.hash.toLatin1());
}

bool JournalVerifier::add(qint64 number, const QByteArray& canonical, QByteArrayView hash) {
    if (!m_check.intact)
        return false;
    const qint64 expected = m_check.entries + 1;
    if (number != expected) {
        m_check.intact = false;
        m_check.firstBad = number > expected ? expected : number;
        m_check.problem =
            number > expected
                ? QStringLiteral("l'écriture n° %1 manque (la suivante est la n° %2).").arg(expected).arg(number)
                : QStringLiteral("l'écriture n° %1 apparaît hors de son ordre.").arg(number);
        return false;
    }
    QByteArray recomputed = hashOf(m_previousHash, canonical);
    if (recomputed != hash) {
        m_check.intact = false;
        m_check.firstBad = number;
        m_check.problem = QStringLiteral("l'écriture n° %1 ne correspond pas à son empreinte : elle a été "
                                         "modifiée, ou une écriture a été insérée avant elle.")
                              .arg(number);
        return false;
    }
    m_previousHash = std::move(recomputed);
    m_check.entries = number;
    return true;
}

JournalCheck JournalVerifier::finish(qint64 headNumber, const QString& headHash) {
    if (m_check.intact && (headNumber != m_check.entries || headHash.toLatin1() != m_previousHash)) {
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
