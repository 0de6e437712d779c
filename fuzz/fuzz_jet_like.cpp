// The wildcard patterns typed in the search and accounts screens, matched against stored texts: any
// pattern against any text ends quickly (a slow input fails under -timeout), and patterns of stars,
// question marks and letters agree with a plain matcher that tries every way.
#include "FuzzSupport.h"
#include "store/sqlite/Collation.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

using namespace obs;
using namespace obs::fuzz;

namespace {

// A small alphabet where case and accents play: each letter with its base letter.
struct Letter {
    char16_t ch;
    char16_t base;
};
constexpr Letter kTextLetters[] = {
    {u'a', u'a'}, {u'A', u'a'}, {u'à', u'a'}, {u'â', u'a'}, {u'b', u'b'}, {u'B', u'b'},
    {u'e', u'e'}, {u'E', u'e'}, {u'é', u'e'}, {u'È', u'e'}, {u'ê', u'e'}, {u'c', u'c'},
    {u'ç', u'c'}, {u'Ç', u'c'}, {u'x', u'x'}, {u' ', u' '}, {u'-', u'-'}, {u'\'', u'\''},
};
constexpr Letter kPatternLetters[] = {
    {u'*', 0},    {u'*', 0},    {u'?', 0},    {u'?', 0},    {u'a', u'a'}, {u'B', u'b'},
    {u'e', u'e'}, {u'É', u'e'}, {u'c', u'c'}, {u'ç', u'c'}, {u' ', u' '}, {u'-', u'-'},
};

template <size_t N> std::vector<Letter> spell(FuzzedDataProvider& in, const Letter (&alphabet)[N], size_t max) {
    std::vector<Letter> out;
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, max);
    for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
        out.push_back(alphabet[in.ConsumeIntegralInRange<size_t>(0, N - 1)]);
    return out;
}

// Wildcards, ligatures, combining accents, and the halves of characters beyond 16 bits.
bool isWildcardOrComposite(QChar c) {
    const char16_t u = c.unicode();
    return u == u'*' || u == u'?' || u == u'#' || u == u'[' || u == 0xDF || u == 0xC6 || u == 0xE6 || u == 0x152 ||
           u == 0x153 || (u >= 0x300 && u < 0x370) || c.isSurrogate() || c.isMark();
}

QString textOf(const std::vector<Letter>& letters) {
    QString s;
    for (const Letter& l : letters)
        s += QChar(l.ch);
    return s;
}

// Every way of matching, by a table of prefixes: star any run, question mark one letter, a letter
// its base letter.
bool referenceLike(const std::vector<Letter>& p, const std::vector<Letter>& t) {
    std::vector<std::vector<char>> m(p.size() + 1, std::vector<char>(t.size() + 1, 0));
    m[0][0] = 1;
    for (size_t i = 1; i <= p.size(); ++i) {
        const bool star = p[i - 1].ch == u'*';
        m[i][0] = star && m[i - 1][0];
        for (size_t j = 1; j <= t.size(); ++j) {
            if (star)
                m[i][j] = m[i - 1][j] || m[i][j - 1];
            else if (p[i - 1].ch == u'?' || p[i - 1].base == t[j - 1].base)
                m[i][j] = m[i - 1][j - 1];
        }
    }
    return m[p.size()][t.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        // Anything typed against anything stored.
        const QString pattern = QString::fromUtf8(in.ConsumeRandomLengthString(size));
        const QString text = QString::fromUtf8(in.ConsumeRemainingBytesAsString());
        const bool match = jetLike(pattern, text);
        // A text equal to a pattern without wildcard also begins with it (the act and night criteria
        // add a star to what is typed). Ligatures and accents written apart are left aside: the
        // pattern with a star compares one character with one character.
        const bool plain = std::none_of(pattern.begin(), pattern.end(), isWildcardOrComposite) &&
                           std::none_of(text.begin(), text.end(), isWildcardOrComposite);
        if (plain && match)
            FUZZ_CHECK(jetLike(pattern + u'*', text),
                       QStringLiteral("%1 equals %2 but does not begin with it").arg(escaped(text), escaped(pattern)));
        FUZZ_CHECK(jetLike(QStringLiteral("*"), text), QStringLiteral("* refused %1").arg(escaped(text)));
        const bool onlyStars = std::all_of(pattern.begin(), pattern.end(), [](QChar c) { return c == u'*'; });
        FUZZ_CHECK(jetLike(pattern + u'*', QString()) == onlyStars,
                   QStringLiteral("%1 matched an empty text").arg(escaped(pattern)));
        return 0;
    }
    const std::vector<Letter> p = spell(in, kPatternLetters, 24);
    const std::vector<Letter> t = spell(in, kTextLetters, 40);
    const QString pattern = textOf(p), text = textOf(t);
    const bool want = referenceLike(p, t);
    FUZZ_CHECK(jetLike(pattern, text) == want,
               QStringLiteral("%1 LIKE %2 should be %3").arg(escaped(pattern), escaped(text), want ? "true" : "false"));
    return 0;
}
