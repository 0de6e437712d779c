// Typed values joined into the screens' SQL texts: once the texts are adapted for SQLite, each value
// is still one literal holding exactly what was typed, and the query around it is the same whatever
// was typed (a value never becomes SQL).
#include "FuzzSupport.h"
#include "store/SqlText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <functional>

using namespace obs;
using namespace obs::fuzz;

namespace {

struct Split {
    QString skeleton;     // the text with each literal as '?'
    QStringList literals; // the literals' contents, doubled apostrophes undone
    bool closed = true;
};

// Reads an adapted SQL text the way SQLite does: texts between apostrophes, a doubled one inside.
Split split(const QString& sql)
{
    Split s;
    int i = 0;
    while (i < sql.size()) {
        if (sql[i] != u'\'') {
            s.skeleton += sql[i++];
            continue;
        }
        QString lit;
        ++i;
        bool closed = false;
        while (i < sql.size()) {
            if (sql[i] == u'\'') {
                if (i + 1 < sql.size() && sql[i + 1] == u'\'') {
                    lit += u'\'';
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            lit += sql[i++];
        }
        s.closed = s.closed && closed;
        s.literals << lit;
        s.skeleton += QStringLiteral("'?'");
    }
    return s;
}

bool wild(const QString& v)
{
    return v.contains(u'*') || v.contains(u'?') || v.contains(u'#') || v.contains(u'[');
}

// One query form: the adapted text of the typed values has the adapted text of plain values as its
// skeleton (plain values with the same wildcards, so that the same LIKEs are rewritten).
void check(const char* form, const QString& a, const QString& b, const std::function<QString(QString, QString)>& build)
{
    const QString sql = adaptSql(build(sqlEscape(a), sqlEscape(b)));
    const Split got = split(sql);
    const Split plain = split(adaptSql(build(wild(a) ? QStringLiteral("x*") : QStringLiteral("x"),
                                             wild(b) ? QStringLiteral("y*") : QStringLiteral("y"))));
    FUZZ_CHECK(got.closed && got.skeleton == plain.skeleton,
               QStringLiteral("%1: %2 became %3").arg(QLatin1String(form), escaped(a + u'|' + b), escaped(sql)));
    const QStringList want = split(build(sqlEscape(a), sqlEscape(b))).literals;
    FUZZ_CHECK(got.literals == want, QStringLiteral("%1: %2 changed into %3")
                                         .arg(QLatin1String(form), escaped(want.join(u'|')), escaped(got.literals.join(u'|'))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString a = QString::fromUtf8(in.ConsumeRandomLengthString(256));
    const QString b = QString::fromUtf8(in.ConsumeRemainingBytesAsString());

    // The period listing with its practitioner and act criteria.
    check("listing", a, b, [](const QString& x, const QString& y) {
        return QStringLiteral("SELECT ACTES.* From ACTES WHERE DATE BETWEEN 38353 And 40543AND (ACTES.MEDSUIT LIKE '") + x
            + QStringLiteral("')AND (ACTES.ACTE LIKE '") + y + QStringLiteral("*')ORDER BY NOM, PRENOM");
    });
    // The reversals of a pair of practitioners.
    check("reversal", a, b, [](const QString& x, const QString& y) {
        return QStringLiteral("SELECT ACTES.* From ACTES WHERE (ACTES.MEDSUIT LIKE '") + x
            + QStringLiteral("')AND (ACTES.MEDACTE LIKE '") + y + QStringLiteral("')ORDER BY DATE");
    });
    // The cursor's searches by name and by label.
    check("search", a, b, [](const QString& x, const QString& y) {
        return QStringLiteral("NOM>='") + x + QStringLiteral("' AND TEXTE='") + y + u'\'';
    });

    const SelectParts parts = splitSelect(adaptSql(QStringLiteral("SELECT*FROM ACTES WHERE NOM LIKE '") + sqlEscape(a)
                                                   + QStringLiteral("' ORDER BY NOM, PRENOM")));
    FUZZ_CHECK(parts.valid && parts.table == QStringLiteral("ACTES")
                   && parts.orderKeys == QStringList({QStringLiteral("NOM"), QStringLiteral("PRENOM")}),
               QStringLiteral("the query with %1 was not split as one").arg(escaped(a)));
    return 0;
}
