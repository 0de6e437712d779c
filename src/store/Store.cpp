// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Store.h"

#include "store/postgres/PgStore.h"
#include "store/sqlite/SqliteStore.h"

#include <QRegularExpression>

namespace obs {

bool isServerLocation(const QString& location) {
    const QString t = location.trimmed();
    if (t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return true;
    static const QRegularExpression keyValue(QStringLiteral("^[A-Za-z_]+\\s*="));
    return keyValue.match(t).hasMatch();
}

QString describeLocation(const QString& location) {
    return isServerLocation(location) ? PgConnection::describe(location.trimmed()) : location;
}

std::shared_ptr<Store> Store::open(const QString& location, Status* status) {
    if (isServerLocation(location))
        return PgStore::open(location.trimmed(), status);
    return SqliteStore::open(location, status);
}

} // namespace obs
