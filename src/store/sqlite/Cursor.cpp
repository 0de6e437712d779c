#include "store/sqlite/Cursor.h"

namespace obs {

namespace {
Status noCurrent() {
    return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
}

QString quoted(const QString& name) {
    return u'"' + name + u'"';
}
} // namespace

std::unique_ptr<Cursor> Cursor::open(std::shared_ptr<Database> db, Shape shape, Status* status) {
    std::unique_ptr<Cursor> c(new Cursor());
    c->m_db = std::move(db);
    c->m_shape = std::move(shape);
    *status = c->usable();
    if (!status->ok())
        return nullptr;
    bool found = false;
    *status = c->fetchOne(QString(), {}, Direction::Forward, &found);
    if (!status->ok())
        return nullptr;
    if (!found)
        c->m_bof = c->m_eof = true;
    return c;
}

Status Cursor::usable() const {
    if (!m_db || !m_db->isOpen())
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    return Status::success();
}

QString Cursor::baseSelect() const {
    return QStringLiteral("SELECT rowid AS \"__rowid\", * FROM %1").arg(m_shape.table);
}

QString Cursor::orderClause(Direction d) const {
    QStringList keys;
    const QString dir = d == Direction::Forward ? QString() : QStringLiteral(" DESC");
    for (const QString& k : m_shape.orderKeys)
        keys << quoted(k) + dir;
    keys << QStringLiteral("rowid") + dir;
    return QStringLiteral(" ORDER BY ") + keys.join(QStringLiteral(", "));
}

void Cursor::place(const Row& row) {
    m_row = row;
    m_rowid = row.integer(QStringLiteral("__rowid")).value_or(0);
    m_keys.clear();
    for (const QString& k : m_shape.orderKeys)
        m_keys << row.value(k);
    m_bof = m_eof = false;
}

Status Cursor::fetchOne(const QString& extraCondition, const QVariantList& binds, Direction d, bool* found) {
    *found = false;
    QStringList conds;
    QVariantList allBinds;
    if (!m_shape.where.isEmpty()) {
        conds << u'(' + m_shape.where + u')';
        allBinds << m_shape.binds;
    }
    if (!extraCondition.isEmpty())
        conds << u'(' + extraCondition + u')';
    QString sql = baseSelect();
    if (!conds.isEmpty())
        sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    sql += orderClause(d) + QStringLiteral(" LIMIT 1");
    Row row;
    allBinds << binds;
    Status s = m_db->queryRaw(sql, allBinds, [&](const Row& r) {
        row = r;
        return false;
    });
    if (!s)
        return s;
    if (row.isValid()) {
        place(row);
        *found = true;
    }
    return s;
}

Status Cursor::moveFirst() {
    if (Status s = usable(); !s)
        return s;
    bool found = false;
    Status s = fetchOne(QString(), {}, Direction::Forward, &found);
    if (s && !found) {
        m_bof = m_eof = true;
        return noCurrent();
    }
    return s;
}

Status Cursor::moveLast() {
    if (Status s = usable(); !s)
        return s;
    bool found = false;
    Status s = fetchOne(QString(), {}, Direction::Backward, &found);
    if (s && !found) {
        m_bof = m_eof = true;
        return noCurrent();
    }
    return s;
}

namespace {
// Rows after (or before) the current one in the order (k1, ..., rowid). Row values when no key
// is empty, so the index answers; an empty key sorts first and needs the long form.
QString neighbourCondition(const QStringList& keys, const QVariantList& values, bool after, QVariantList* binds) {
    bool anyNull = false;
    for (const QVariant& v : values)
        anyNull = anyNull || v.isNull();
    const QString op = after ? QStringLiteral(">") : QStringLiteral("<");
    if (!anyNull) {
        QStringList cols;
        QStringList marks;
        for (const QString& k : keys) {
            cols << u'"' + k + u'"';
            marks << QStringLiteral("?");
        }
        cols << QStringLiteral("rowid");
        marks << QStringLiteral("?");
        *binds << values;
        return QStringLiteral("(%1) %2 (%3)").arg(cols.join(u','), op, marks.join(u','));
    }
    // Expanded: g1 OR (e1 AND (g2 OR (e2 AND ... rowid op ?)))
    QString tail = QStringLiteral("rowid ") + op + QStringLiteral(" ?");
    QVariantList tailBinds;
    for (int i = keys.size() - 1; i >= 0; --i) {
        const QString col = u'"' + keys[i] + u'"';
        QString greater, equal;
        QVariantList gb, eb;
        if (values[i].isNull()) {
            greater = after ? col + QStringLiteral(" IS NOT NULL") : QStringLiteral("0");
            equal = col + QStringLiteral(" IS NULL");
        } else {
            greater = after
                          ? col + QStringLiteral(" > ?")
                          : QStringLiteral("(") + col + QStringLiteral(" < ? OR ") + col + QStringLiteral(" IS NULL)");
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

Status Cursor::step(Direction d) {
    const bool forward = d == Direction::Forward;
    bool anyNull = false;
    for (const QVariant& v : m_keys)
        anyNull = anyNull || v.isNull();
    bool found = false;
    Status s;
    if (!m_shape.orderKeys.isEmpty() && !anyNull) {
        // First the rows that share the current order keys, then the next keys: both are seeks in
        // the index, even when thousands of acts share one patient's name.
        QStringList same;
        QStringList cols;
        QStringList marks;
        for (const QString& k : m_shape.orderKeys) {
            same << quoted(k) + QStringLiteral(" = ?");
            cols << quoted(k);
            marks << QStringLiteral("?");
        }
        same << (forward ? QStringLiteral("rowid > ?") : QStringLiteral("rowid < ?"));
        s = fetchOne(same.join(QStringLiteral(" AND ")), m_keys + QVariantList{QVariant::fromValue<qint64>(m_rowid)}, d,
                     &found);
        if (s && !found)
            s = fetchOne(
                QStringLiteral("(%1) %2 (%3)")
                    .arg(cols.join(u','), forward ? QStringLiteral(">") : QStringLiteral("<"), marks.join(u',')),
                m_keys, d, &found);
    } else {
        QVariantList binds;
        const QString cond = neighbourCondition(m_shape.orderKeys, m_keys, forward, &binds);
        binds << QVariant::fromValue<qint64>(m_rowid);
        s = fetchOne(cond, binds, d, &found);
    }
    if (s && !found) {
        m_eof = forward;
        m_bof = !forward;
    }
    return s;
}

Status Cursor::moveNext() {
    if (Status s = usable(); !s)
        return s;
    if (m_eof)
        return noCurrent();
    if (m_bof)
        return moveFirst();
    return step(Direction::Forward);
}

Status Cursor::movePrevious() {
    if (Status s = usable(); !s)
        return s;
    if (m_bof)
        return noCurrent();
    if (m_eof)
        return moveLast();
    return step(Direction::Backward);
}

Status Cursor::findFirst(const QString& condition, const QVariantList& binds, bool* matched) {
    *matched = false;
    if (Status s = usable(); !s)
        return s;
    return fetchOne(condition, binds, Direction::Forward, matched);
}

Status Cursor::current(Row* row) {
    if (Status s = usable(); !s)
        return s;
    if (!hasCurrent())
        return noCurrent();
    Row fresh;
    Status s = m_db->queryRaw(baseSelect() + QStringLiteral(" WHERE rowid=?"), {QVariant::fromValue<qint64>(m_rowid)},
                              [&](const Row& r) {
                                  fresh = r;
                                  return false;
                              });
    if (!s)
        return s;
    if (!fresh.isValid())
        return noCurrent();
    m_row = fresh;
    *row = fresh;
    return s;
}

} // namespace obs
