// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/Listing.h"

#include "common/DayNumber.h"

#include <algorithm>
#include <stdexcept>

namespace obs {

namespace {
const QString kBlanks = QStringLiteral("   ");
} // namespace

ListingRows::ListingRows(const ListingRows& other)
    : m_size(other.m_size), m_texts(other.m_texts), m_textAt(other.m_textAt) {
    m_chunks.reserve(other.m_chunks.size());
    for (const auto& chunk : other.m_chunks) {
        m_chunks.push_back(std::make_unique_for_overwrite<Packed[]>(kChunkRows));
        std::copy_n(chunk.get(), kChunkRows, m_chunks.back().get());
    }
}

ListingRows& ListingRows::operator=(const ListingRows& other) {
    if (this != &other)
        *this = ListingRows(other);
    return *this;
}

quint32 ListingRows::textIndex(const QString& text) {
    const auto it = m_textAt.constFind(text.constData());
    // The same place and length: the same characters (a shorter text may start where a held one does).
    if (it != m_textAt.cend() && m_texts[it.value()].size() == text.size())
        return it.value();
    const auto index = quint32(m_texts.size());
    m_texts.push_back(text);
    if (it == m_textAt.cend())
        m_textAt.insert(m_texts.back().constData(), index);
    return index;
}

void ListingRows::push_back(const ListingRow& row) {
    if (m_size == m_chunks.size() * kChunkRows)
        m_chunks.push_back(std::make_unique_for_overwrite<Packed[]>(kChunkRows));
    Packed& p = m_chunks.back()[m_size % kChunkRows];
    p.number = row.number;
    p.date = row.date.value_or(0);
    p.excess = row.excess ? row.excess->units() : 0;
    p.remainder = row.remainder ? row.remainder->units() : 0;
    p.surname = textIndex(row.surname);
    p.firstName = textIndex(row.firstName);
    p.code = textIndex(row.code);
    p.present = (row.date ? 1u : 0u) | (row.excess ? 2u : 0u) | (row.remainder ? 4u : 0u);
    ++m_size;
}

ListingRow ListingRows::operator[](size_t i) const {
    const Packed& p = packed(i);
    ListingRow row;
    row.number = p.number;
    row.surname = m_texts[p.surname];
    row.firstName = m_texts[p.firstName];
    row.code = m_texts[p.code];
    if (p.present & 1u)
        row.date = p.date;
    if (p.present & 2u)
        row.excess = Money::fromUnits(p.excess);
    if (p.present & 4u)
        row.remainder = Money::fromUnits(p.remainder);
    return row;
}

ListingRow ListingRows::at(size_t i) const {
    if (i >= m_size)
        throw std::out_of_range("ListingRows::at");
    return (*this)[i];
}

QString Listing::totalCaption(ListingKind kind) {
    if (kind == ListingKind::Excess)
        return QStringLiteral("Total du montant des mutuelles ou DE pour les actes recherchés");
    if (kind == ListingKind::Remainder)
        return QStringLiteral("Total restant dû pour les actes recherchés");
    return QStringLiteral("Total du montant des actes recherchés  (tarif conventionné)");
}

QString Listing::dateText(const StoredDay& day) const {
    if (!day)
        return QString();
    auto it = m_dates.constFind(*day);
    if (it != m_dates.constEnd())
        return it.value();
    const QString text = storedDateText(day);
    m_dates.insert(*day, text);
    return text;
}

QString Listing::line(const ListingRow& row) const {
    QString line = row.surname + kBlanks + row.firstName + kBlanks + dateText(row.date);
    switch (m_kind) {
    case ListingKind::Search:
        line += QStringLiteral(" (") + row.code + QStringLiteral(") ");
        if (row.excess && row.excess->units() != 0)
            line += QStringLiteral("Mut : ") + row.excess->toEuroText();
        break;
    case ListingKind::Unpaid:
        line += QStringLiteral(", (") + row.code + u')';
        break;
    case ListingKind::Remainder:
        line += QStringLiteral(", (") + row.code + QStringLiteral(") reste : ") + frenchAmountText(row.remainder) +
                QStringLiteral(" €");
        break;
    case ListingKind::Excess:
        line += QStringLiteral(" (") + row.code + QStringLiteral(") Mut: ") + frenchAmountText(row.excess) +
                QStringLiteral(" €");
        break;
    }
    return line;
}

} // namespace obs
