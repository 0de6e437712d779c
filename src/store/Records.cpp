// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Records.h"

#include "common/DayNumber.h"

#include <cstring>

namespace obs {

std::optional<ReferenceList> referenceListOf(int number) {
    switch (number) {
    case int(ReferenceList::Practitioners):
    case int(ReferenceList::DeliveryActs):
    case int(ReferenceList::SurgicalActs):
    case int(ReferenceList::DefaultPractitioner):
    case int(ReferenceList::MutualInsurers):
        return ReferenceList(number);
    default:
        return std::nullopt;
    }
}

bool hasWildcard(const QString& text) {
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[')
            return true;
    }
    return false;
}

std::array<qint64, 13> monthStarts(int year) {
    std::array<qint64, 13> starts{};
    for (int m = 0; m < 12; ++m)
        starts[m] = dayNumberOf(QDate(year, m + 1, 1));
    starts[12] = dayNumberOf(QDate(year + 1, 1, 1));
    return starts;
}

namespace {

// FNV-1a: a few nanoseconds for a name, against some 120 for Qt's seeded string hash. The texts
// come from the clinic's own base, so no one chooses them to collide.
quint32 cheapHash(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    quint32 h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

} // namespace

template <typename Same> TextPool::Slot& TextPool::find(Table& table, quint32 hash, Same same) {
    if (table.places.empty())
        table.places.resize(256);
    const size_t mask = table.places.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = table.places[i];
        if (slot.entry == 0 || (slot.hash == hash && same(slot.entry - 1)))
            return slot;
    }
}

void TextPool::grow(Table& table) {
    if (size_t(table.used) * 2 < table.places.size())
        return;
    std::vector<Slot> old = std::move(table.places);
    table.places.assign(old.size() * 2, Slot{});
    const size_t mask = table.places.size() - 1;
    for (const Slot& slot : old) {
        if (slot.entry == 0)
            continue;
        size_t i = slot.hash & mask;
        while (table.places[i].entry != 0)
            i = (i + 1) & mask;
        table.places[i] = slot;
    }
}

QString TextPool::shared(QString text) {
    const quint32 hash = cheapHash(text.constData(), size_t(text.size()) * sizeof(QChar));
    Slot& slot = find(m_byText, hash, [&](quint32 i) { return m_texts[i] == text; });
    if (slot.entry != 0)
        return m_texts[slot.entry - 1];
    m_texts.push_back(text);
    m_bytes.emplace_back();
    slot = {hash, quint32(m_texts.size())};
    ++m_byText.used;
    grow(m_byText);
    return text;
}

QString TextPool::sharedUtf8(const char* bytes, qsizetype size) {
    if (size <= 0)
        return QString::fromUtf8(bytes, 0);
    const quint32 hash = cheapHash(bytes, size_t(size));
    Slot& slot = find(m_byBytes, hash, [&](quint32 i) {
        const QByteArray& held = m_bytes[i];
        return held.size() == size && std::memcmp(held.constData(), bytes, size_t(size)) == 0;
    });
    if (slot.entry != 0)
        return m_texts[slot.entry - 1];
    QString text = QString::fromUtf8(bytes, size);
    m_texts.push_back(text);
    m_bytes.emplace_back(bytes, size);
    slot = {hash, quint32(m_texts.size())};
    ++m_byBytes.used;
    grow(m_byBytes);
    return text;
}

void ListingSum::add(const std::optional<Money>& amount) {
    if (!amount || m_overflow)
        return;
    if (!m_total) {
        m_total = amount;
        return;
    }
    m_total = m_total->plus(*amount);
    m_overflow = !m_total;
}

Status ListingSum::result(std::optional<Money>* total) const {
    *total = m_total;
    if (m_overflow)
        return Status::failure(StoreError::TotalMissing,
                               QStringLiteral("Le total dépasse les montants que le programme "
                                              "sait compter : une fiche porte un montant "
                                              "erroné."));
    return Status::success();
}

} // namespace obs
