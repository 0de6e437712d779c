// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Records.h"

#include <QHash>
#include <QString>

#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace obs {

// The found rows of a listing, kept compact: 48 bytes a row (the texts held once in a table of their
// own, by the shared text a TextPool hands out), in fixed chunks, so that a year of 50,000 acts
// takes some 2.4 MB and growing never copies what is already held. Read back as ListingRow.
class ListingRows {
public:
    ListingRows() = default;
    ListingRows(const ListingRows& other);
    ListingRows& operator=(const ListingRows& other);
    ListingRows(ListingRows&& other) noexcept { swap(other); }
    ListingRows& operator=(ListingRows&& other) noexcept {
        ListingRows taken(std::move(other));
        swap(taken);
        return *this;
    }
    void swap(ListingRows& other) noexcept {
        m_chunks.swap(other.m_chunks);
        std::swap(m_size, other.m_size);
        m_texts.swap(other.m_texts);
        m_textAt.swap(other.m_textAt);
    }

    void push_back(const ListingRow& row);
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    ListingRow operator[](size_t i) const;
    ListingRow at(size_t i) const;
    qint64 number(size_t i) const { return packed(i).number; }

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ListingRow;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ListingRow;
        const_iterator() = default;
        const_iterator(const ListingRows* rows, size_t i) : m_rows(rows), m_i(i) {}
        ListingRow operator*() const { return (*m_rows)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++m_i;
            return was;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.m_i == b.m_i; }

    private:
        const ListingRows* m_rows = nullptr;
        size_t m_i = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

private:
    struct Packed {
        qint64 number;
        qint64 date;
        qint64 excess;
        qint64 remainder;
        quint32 surname;
        quint32 firstName;
        quint32 code;
        quint32 present; // which of date, excess and remainder hold a value
    };
    static constexpr size_t kChunkRows = 1024;
    const Packed& packed(size_t i) const { return m_chunks[i / kChunkRows][i % kChunkRows]; }
    quint32 textIndex(const QString& text);

    std::vector<std::unique_ptr<Packed[]>> m_chunks;
    size_t m_size = 0;
    std::vector<QString> m_texts;
    // A text's place in m_texts by where its characters lie: rows of one listing share their
    // texts, so a name is found without reading it. Every text named here is held in m_texts,
    // so no other text can come to lie at the same place.
    QHash<const QChar*, quint32> m_textAt;
};

// The listings of the search screen: their total's caption and the form of their lines.
class Listing {
public:
    static QString totalCaption(ListingKind kind);

    // The line of an act as the found list shows it. Dates repeat across a year of acts: each is
    // turned into text once.
    explicit Listing(ListingKind kind) : m_kind(kind) {}
    ListingKind kind() const { return m_kind; }
    QString line(const ListingRow& row) const;

private:
    QString dateText(const StoredDay& day) const;

    ListingKind m_kind;
    mutable QHash<qint64, QString> m_dates;
};

} // namespace obs
