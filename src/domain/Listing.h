// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Records.h"

#include <QHash>
#include <QString>

namespace obs {

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
