// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Tables.h"

namespace obs {

namespace {

using A = Column<Act>;
using M = Column<ReferenceEntry>;
constexpr unsigned kWritten = A::Added | A::Edited | A::Compared;

template <class... F> struct Overloaded : F... { using F::operator()...; };
// Spelled out for compilers without aggregate deduction (clang 14, which builds the fuzz targets).
template <class... F> Overloaded(F...) -> Overloaded<F...>;

const A kActColumns[] = {
    {"NUMINT", [](Act& a) -> FieldRef { return &a.number; }, 0},
    {"Nom", [](Act& a) -> FieldRef { return &a.surname; }, kWritten},
    {"Prenom", [](Act& a) -> FieldRef { return &a.firstName; }, kWritten},
    {"Date", [](Act& a) -> FieldRef { return &a.date; }, A::Added | A::Dated | A::Compared},
    {"MEDSUIT", [](Act& a) -> FieldRef { return &a.followedBy; }, kWritten},
    {"MEDACTE", [](Act& a) -> FieldRef { return &a.performedBy; }, kWritten},
    {"Acte", [](Act& a) -> FieldRef { return &a.act; }, kWritten},
    {"CCAM1", [](Act& a) -> FieldRef { return &a.code; }, kWritten},
    {"NF", [](Act& a) -> FieldRef { return &a.nightOrHoliday; }, kWritten},
    {"CCAM2", [](Act& a) -> FieldRef { return &a.secondary[0]; }, kWritten},
    {"CCAM3", [](Act& a) -> FieldRef { return &a.secondary[1]; }, kWritten},
    {"CCAM4", [](Act& a) -> FieldRef { return &a.secondary[2]; }, kWritten},
    {"CCAM5", [](Act& a) -> FieldRef { return &a.secondary[3]; }, kWritten},
    {"CCAM6", [](Act& a) -> FieldRef { return &a.secondary[4]; }, kWritten},
    {"PRIX", [](Act& a) -> FieldRef { return &a.price; }, kWritten},
    {"DE", [](Act& a) -> FieldRef { return &a.excess; }, kWritten},
    // Payments start at 0 (the column's default) and are entered later.
    {"PAYESECU", [](Act& a) -> FieldRef { return &a.paidSecu; }, A::Edited | A::Compared},
    {"PAYECOMPLE", [](Act& a) -> FieldRef { return &a.paidComplementary; }, A::Edited | A::Compared},
    {"PAYEDE", [](Act& a) -> FieldRef { return &a.paidExcess; }, A::Edited | A::Compared},
    // Sums paid over are added by the reversals alone.
    {"REVERSE", [](Act& a) -> FieldRef { return &a.reversed; }, A::Compared},
    {"DateRev", [](Act& a) -> FieldRef { return &a.reversalDate; }, A::Compared},
};

// The catalogue's place ("INDEX") is not part of an entry: the base gives it.
const M kMemoColumns[] = {
    {"NUMEROS", [](ReferenceEntry& e) -> FieldRef { return &e.list; }, M::Added},
    // An entry is found by its label: the label is not compared again.
    {"TEXTE", [](ReferenceEntry& e) -> FieldRef { return &e.label; }, M::Added | M::Edited},
    {"CCAM", [](ReferenceEntry& e) -> FieldRef { return &e.code; }, kWritten},
    {"TARIFS", [](ReferenceEntry& e) -> FieldRef { return &e.tariff; }, kWritten},
    {"MUT1", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[0]; }, kWritten},
    {"MUT2", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[1]; }, kWritten},
    {"MUT3", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[2]; }, kWritten},
    {"MUT4", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[3]; }, kWritten},
    {"MUT5", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[4]; }, kWritten},
    {"MUT6", [](ReferenceEntry& e) -> FieldRef { return &e.excesses[5]; }, kWritten},
};

QVariant boundField(const FieldRef& f) {
    return std::visit(Overloaded{[](qint64* v) { return bound(*v); }, [](QString* v) { return bound(*v); },
                                 [](std::optional<Money>* v) { return bound(*v); },
                                 [](StoredDay* v) { return bound(*v); },
                                 [](ReferenceList* v) { return QVariant(int(*v)); }},
                      f);
}

} // namespace

template <class R> QString columnList(const Dialect& d, const Table<R>& t, unsigned uses) {
    QStringList names;
    for (const auto& c : t.columns) {
        if (uses == ~0u || (c.uses & uses))
            names << d.name(QString::fromLatin1(c.name));
    }
    return names.join(QStringLiteral(", "));
}

template <class R> void bindColumns(const Table<R>& t, unsigned uses, const R& r, QVariantList* binds) {
    R& record = const_cast<R&>(r); // read only: the members are reached through one accessor
    for (const auto& c : t.columns) {
        if (c.uses & uses)
            *binds << boundField(c.field(record));
    }
}

template <class R> void copyColumns(const Table<R>& t, unsigned uses, const R& from, R* to) {
    R& source = const_cast<R&>(from);
    for (const auto& c : t.columns) {
        if (!(c.uses & uses))
            continue;
        const FieldRef in = c.field(source);
        std::visit([&](auto* out) { *out = *std::get<decltype(out)>(in); }, c.field(*to));
    }
}

template <class R>
const char* amountOffCents(const Table<R>& t, unsigned uses, const R* before, const R& after, Money* value) {
    R& now = const_cast<R&>(after);
    R* was = const_cast<R*>(before);
    for (const auto& c : t.columns) {
        if (!(c.uses & uses))
            continue;
        const FieldRef f = c.field(now);
        auto* const* amount = std::get_if<std::optional<Money>*>(&f);
        if (!amount)
            continue;
        const std::optional<Money>& m = **amount;
        if (!m || m->inWholeCents())
            continue;
        // A figure kept as it was stored (an older register's) is not refused for being kept.
        if (was && *std::get<std::optional<Money>*>(c.field(*was)) == m)
            continue;
        *value = *m;
        return c.name;
    }
    return nullptr;
}

template <class R> QVariantList storedValues(const Table<R>& t, const R& r) {
    R& record = const_cast<R&>(r);
    QVariantList values;
    for (const auto& c : t.columns)
        values << boundField(c.field(record));
    return values;
}

template <class R>
QString assignments(const Dialect& d, const Table<R>& t, unsigned uses, const R& r, QVariantList* binds) {
    QStringList sets;
    for (const auto& c : t.columns) {
        if (c.uses & uses)
            sets << d.name(QString::fromLatin1(c.name)) + QStringLiteral(" = ?");
    }
    bindColumns(t, uses, r, binds);
    return sets.join(QStringLiteral(", "));
}

template <class R> QString insertion(const Dialect& d, const Table<R>& t, const R& r, QVariantList* binds) {
    const qsizetype first = binds->size();
    bindColumns(t, Column<R>::Added, r, binds);
    QStringList marks;
    for (qsizetype i = first; i < binds->size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(d.name(QString::fromLatin1(t.name)), columnList(d, t, Column<R>::Added), marks.join(QStringLiteral(", ")));
}

template <class R> QString unchanged(const Dialect& d, const Table<R>& t, const R& r, QVariantList* binds) {
    QString w;
    R& record = const_cast<R&>(r);
    for (const auto& c : t.columns) {
        if (!(c.uses & Column<R>::Compared))
            continue;
        const FieldRef f = c.field(record);
        const QString column = d.name(QString::fromLatin1(c.name));
        w += QStringLiteral(" AND ") + (std::holds_alternative<QString*>(f) ? d.sameText(column) : d.sameValue(column));
        *binds << boundField(f);
    }
    return w;
}

template <class R> R recordAt(const Table<R>& t, const SqlRow& row, int first) {
    R r;
    int i = first;
    for (const auto& c : t.columns) {
        std::visit(
            Overloaded{[&](qint64* v) { *v = row.integer(i).value_or(0); }, [&](QString* v) { *v = row.text(i); },
                       [&](std::optional<Money>* v) { *v = row.money(i); }, [&](StoredDay* v) { *v = row.day(i); },
                       [&](ReferenceList* v) {
                           *v = referenceListOf(int(row.integer(i).value_or(0))).value_or(ReferenceList::Practitioners);
                       }},
            c.field(r));
        ++i;
    }
    return r;
}

QVariant bound(qint64 v) {
    return QVariant::fromValue<qint64>(v);
}
QVariant bound(const std::optional<Money>& m) {
    return m ? bound(m->units()) : QVariant();
}
QVariant bound(const StoredDay& d) {
    return d ? bound(*d) : QVariant();
}
QVariant bound(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

const Table<Act>& actsTable() {
    static const Table<Act> t{"ACTES", kActColumns};
    return t;
}

const Table<ReferenceEntry>& memoTable() {
    static const Table<ReferenceEntry> t{"MEMO", kMemoColumns};
    return t;
}

#define OBS_TABLE_FUNCTIONS(R)                                                                                         \
    template QString columnList(const Dialect&, const Table<R>&, unsigned);                                            \
    template QString assignments(const Dialect&, const Table<R>&, unsigned, const R&, QVariantList*);                  \
    template QString insertion(const Dialect&, const Table<R>&, const R&, QVariantList*);                              \
    template QString unchanged(const Dialect&, const Table<R>&, const R&, QVariantList*);                              \
    template void bindColumns(const Table<R>&, unsigned, const R&, QVariantList*);                                     \
    template QVariantList storedValues(const Table<R>&, const R&);                                                     \
    template const char* amountOffCents(const Table<R>&, unsigned, const R*, const R&, Money*);                        \
    template void copyColumns(const Table<R>&, unsigned, const R&, R*);                                                \
    template R recordAt(const Table<R>&, const SqlRow&, int);
OBS_TABLE_FUNCTIONS(Act)
OBS_TABLE_FUNCTIONS(ReferenceEntry)

} // namespace obs
