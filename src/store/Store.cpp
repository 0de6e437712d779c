// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Store.h"

#include "store/postgres/PgStore.h"
#include "store/sqlite/SqliteStore.h"

#include <QHash>
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

Status ActsTable::findInChunks(const std::vector<qint64>& numbers, std::vector<Act>* acts, const ChunkQuery& query) {
    constexpr size_t chunk = 500;
    acts->clear();
    acts->reserve(numbers.size());
    QHash<qint64, Act> read;
    for (size_t first = 0; first < numbers.size(); first += chunk) {
        const size_t last = std::min(numbers.size(), first + chunk);
        QStringList marks;
        QVariantList binds;
        for (size_t i = first; i < last; ++i) {
            marks << QStringLiteral("?");
            binds << QVariant::fromValue<qint64>(numbers[i]);
        }
        read.clear();
        const Status s = query(marks.join(u','), binds, [&](Act&& act) { read.insert(act.number, std::move(act)); });
        if (!s)
            return s;
        for (size_t i = first; i < last; ++i) {
            if (const auto it = read.constFind(numbers[i]); it != read.cend())
                acts->push_back(*it);
        }
    }
    return Status::success();
}

Status ReferenceTable::planWith(const ReferenceChange& change, const SlotSteps& steps, MutualSlots::Plan* plan) {
    *plan = {};
    if (change.list() != ReferenceList::MutualInsurers)
        return Status::success();
    std::vector<MutualSlots::Insurer> before;
    std::vector<MutualSlots::Insurer> after;
    Status s = steps.order(change, false, &before);
    if (s)
        s = steps.order(change, true, &after);
    if (s)
        *plan = MutualSlots::plan(before, after);
    return s;
}

Status ReferenceTable::applyWith(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found,
                                 const SlotSteps& steps) {
    *found = false;
    Status s = steps.begin();
    if (!s)
        return s;
    // Read inside the transaction: no other workstation can change the list between the reading
    // and the writing.
    MutualSlots::Plan now;
    s = planWith(change, steps, &now);
    if (s && now != agreed)
        s = Status::failure(StoreError::Changed,
                            QStringLiteral("La liste des mutuelles a été modifiée sur un autre poste depuis son "
                                           "affichage."));
    if (s)
        s = steps.write(change, found);
    if (s && *found && now.rewritesColumns())
        s = steps.moveColumns(now);
    if (s && *found)
        s = steps.commit();
    if (!s || !*found)
        steps.rollback();
    return s;
}

std::shared_ptr<Store> Store::open(const QString& location, Status* status) {
    if (isServerLocation(location))
        return PgStore::open(location.trimmed(), status);
    return SqliteStore::open(location, status);
}

} // namespace obs
