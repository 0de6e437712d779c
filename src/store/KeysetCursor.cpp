// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/KeysetCursor.h"

#include "store/Tables.h"

namespace obs {

namespace {

Status noCurrent() {
    return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
}

QString marks(qsizetype count) {
    QStringList m;
    for (qsizetype i = 0; i < count; ++i)
        m << QStringLiteral("?");
    return m.join(QStringLiteral(", "));
}

// Rows after (or before) the current one in the order (k1, ..., id) when a key is empty: an empty
// key sorts first, which a row comparison would not say.
// Expanded: g1 OR (e1 AND (g2 OR (e2 AND ... id op ?)))
QString neighbourCondition(const QStringList& keys, const QString& id, const QVariantList& values, bool after,
                           QVariantList* binds) {
    const QString op = after ? QStringLiteral(">") : QStringLiteral("<");
    QString tail = QStringLiteral("%1 %2 ?").arg(id, op);
    QVariantList tailBinds;
    for (qsizetype i = keys.size() - 1; i >= 0; --i) {
        const QString& col = keys[i];
        QString greater, equal;
        QVariantList gb, eb;
        if (values[i].isNull()) {
            greater = after ? col + QStringLiteral(" IS NOT NULL") : QStringLiteral("0");
            equal = col + QStringLiteral(" IS NULL");
        } else {
            greater = after ? col + QStringLiteral(" > ?") : QStringLiteral("(%1 < ? OR %1 IS NULL)").arg(col);
            gb << values[i];
            equal = col + QStringLiteral(" = ?");
            eb << values[i];
        }
        tail = QStringLiteral("(%1 OR (%2 AND %3))").arg(greater, equal, tail);
        tailBinds = gb + eb + tailBinds;
    }
    *binds << tailBinds;
    return tail;
}

} // namespace

std::unique_ptr<RecordCursor> KeysetCursor::open(std::shared_ptr<Connection> db, const Dialect& dialect, Shape shape,
                                                 Status* status) {
    std::unique_ptr<KeysetCursor> c(new KeysetCursor(std::move(db), dialect, std::move(shape)));
    *status = c->usable();
    bool found = false;
    if (status->ok())
        *status = c->fetch(QString(), {}, true, &found);
    if (!status->ok())
        return nullptr;
    return c;
}

Status KeysetCursor::usable() const {
    if (!m_db || !m_db->isOpen())
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    return Status::success();
}

// Past the last row: eof; before the first: bof; from either end, the row at that end.
Status KeysetCursor::move(bool forward) {
    if (Status s = usable(); !s)
        return s;
    if (forward ? m_eof : m_bof)
        return noCurrent();
    if (forward ? m_bof : m_eof)
        return moveEnd(forward);
    return step(forward);
}

Status KeysetCursor::findFirst(const QString& text, bool* matched) {
    *matched = false;
    if (Status s = usable(); !s)
        return s;
    QVariantList binds;
    const QString condition = m_shape.find(text, &binds);
    return fetch(condition, binds, true, matched);
}

Status KeysetCursor::currentAfterMove(BrowsedRecord* record) {
    if (m_read && hasCurrent()) {
        *record = std::move(*m_read);
        m_read.reset();
        return Status::success();
    }
    return current(record);
}

Status KeysetCursor::current(BrowsedRecord* record) {
    m_read.reset();
    if (Status s = usable(); !s)
        return s;
    if (!hasCurrent())
        return noCurrent();
    bool found = false;
    Status s =
        m_db->run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(m_shape.columns, m_shape.table, m_shape.id),
                  {m_id}, [&](const SqlRow& r) {
                      *record = recordAt(r, 0);
                      found = true;
                      return false;
                  });
    if (s && !found)
        return noCurrent();
    return s;
}

BrowsedRecord KeysetCursor::recordAt(const SqlRow& row, int first) const {
    if (m_shape.acts)
        return obs::recordAt(actsTable(), row, first);
    return obs::recordAt(memoTable(), row, first);
}

Status KeysetCursor::fetch(const QString& condition, const QVariantList& binds, bool forward, bool* found) {
    *found = false;
    m_read.reset();
    QStringList conds;
    QVariantList all;
    if (!m_shape.where.isEmpty()) {
        conds << u'(' + m_shape.where + u')';
        all << m_shape.binds;
    }
    if (!condition.isEmpty())
        conds << u'(' + condition + u')';
    all << binds;
    QStringList selected = m_shape.keys;
    selected << m_shape.id << m_shape.columns;
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(selected.join(QStringLiteral(", ")), m_shape.table);
    if (!conds.isEmpty())
        sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    QStringList order;
    const QString dir = forward ? QString() : QStringLiteral(" DESC");
    for (const QString& k : m_shape.keys)
        order << k + dir;
    order << m_shape.id + dir;
    sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", ")) + QStringLiteral(" LIMIT 1");
    return m_db->run(sql, all, [&](const SqlRow& r) {
        m_keys.clear();
        for (int i = 0; i < m_shape.keys.size(); ++i)
            m_keys << r.value(i);
        const int id = int(m_shape.keys.size());
        m_id = QVariant::fromValue<qint64>(r.integer(id).value_or(0));
        m_read = recordAt(r, id + 1);
        m_bof = m_eof = false;
        *found = true;
        return false;
    });
}

Status KeysetCursor::moveEnd(bool first) {
    if (Status s = usable(); !s)
        return s;
    bool found = false;
    Status s = fetch(QString(), {}, first, &found);
    if (s && !found) {
        m_bof = m_eof = true;
        return noCurrent();
    }
    return s;
}

Status KeysetCursor::step(bool forward) {
    const QString op = forward ? QStringLiteral(">") : QStringLiteral("<");
    bool anyNull = false;
    for (const QVariant& v : std::as_const(m_keys))
        anyNull = anyNull || v.isNull();
    bool found = false;
    Status s;
    if (anyNull) {
        QVariantList binds;
        const QString cond = neighbourCondition(m_shape.keys, m_shape.id, m_keys, forward, &binds);
        s = fetch(cond, binds << m_id, forward, &found);
    } else if (m_sql.stepsInTwoSeeks() && !m_shape.keys.isEmpty()) {
        // First the rows that share the current order keys, then the next keys: both are seeks in
        // the index, even when thousands of acts share one patient's name.
        QStringList same;
        for (const QString& k : std::as_const(m_shape.keys))
            same << k + QStringLiteral(" = ?");
        same << QStringLiteral("%1 %2 ?").arg(m_shape.id, op);
        s = fetch(same.join(QStringLiteral(" AND ")), m_keys + QVariantList{m_id}, forward, &found);
        if (s && !found)
            s = fetch(QStringLiteral("(%1) %2 (%3)")
                          .arg(m_shape.keys.join(QStringLiteral(", ")), op, marks(m_shape.keys.size())),
                      m_keys, forward, &found);
    } else {
        const QString cond = QStringLiteral("(%1) %2 (%3)")
                                 .arg((m_shape.keys + QStringList{m_shape.id}).join(QStringLiteral(", ")), op,
                                      marks(m_shape.keys.size() + 1));
        s = fetch(cond, m_keys + QVariantList{m_id}, forward, &found);
    }
    if (s && !found) {
        m_eof = forward;
        m_bof = !forward;
    }
    return s;
}

} // namespace obs
