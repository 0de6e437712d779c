// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/Listing.h"

#include <QAbstractListModel>
#include <vector>

namespace obs {

// The found acts of a listing. The found list shows each act's line, formatted when it is shown;
// its hidden twin shows the act numbers (NumberRole); printing and exports read the same rows.
class ListingModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { NumberRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    // Replaces the rows (in the listing's order) and the form of their lines; the rows replaced
    // are freed first.
    void setRows(ListingKind kind, ListingRows rows);
    // Frees the rows at once: the next listing's rows are built without them.
    void clear();

    const ListingRows& rows() const { return m_rows; }
    ListingKind kind() const { return m_listing.kind(); }
    // Every line, as the found list shows them.
    QStringList lines() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    ListingRows m_rows;
    Listing m_listing{ListingKind::Search};
};

// The same rows showing the act numbers: what the hidden twin of the found list holds.
class ListingNumbersModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ListingNumbersModel(ListingModel* source);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    ListingModel* m_source;
};

} // namespace obs
