// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ListingModel.h"

namespace obs {

void ListingModel::setRows(ListingKind kind, ListingRows rows) {
    beginResetModel();
    m_rows = std::move(rows);
    m_listing = Listing(kind);
    endResetModel();
}

void ListingModel::clear() {
    beginResetModel();
    ListingRows().swap(m_rows);
    endResetModel();
}

QStringList ListingModel::lines() const {
    QStringList out;
    out.reserve(int(m_rows.size()));
    for (const ListingRow row : m_rows)
        out << m_listing.line(row);
    return out;
}

int ListingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ListingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const auto i = size_t(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return m_listing.line(m_rows[i]);
    case NumberRole:
        return QVariant::fromValue<qint64>(m_rows.number(i));
    default:
        return {};
    }
}

ListingNumbersModel::ListingNumbersModel(ListingModel* source) : QAbstractListModel(source), m_source(source) {
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &ListingNumbersModel::beginResetModel);
    connect(source, &QAbstractItemModel::modelReset, this, &ListingNumbersModel::endResetModel);
}

int ListingNumbersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_source->rowCount();
}

QVariant ListingNumbersModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    if (size_t(index.row()) >= m_source->rows().size())
        return {};
    return QString::number(m_source->rows().number(size_t(index.row())));
}

} // namespace obs
