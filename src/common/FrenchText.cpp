#include "common/FrenchText.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace obs {

namespace {

// Primary form of one character: up to two base letters (ligatures), plus an accent weight.
struct Folded {
    char32_t base[2] = {0, 0};
    quint8 count = 1;
    quint16 accent = 0;
};

constexpr char32_t kTableEnd = 0x250;

const std::array<Folded, kTableEnd>& foldTable() {
    static std::array<Folded, kTableEnd> table;
    static std::once_flag once;
    std::call_once(once, [] {
        for (char32_t c = 0; c < kTableEnd; ++c) {
            Folded f;
            const QChar qc(static_cast<char16_t>(c));
            QString dec = qc.decomposition();
            char32_t base = c;
            if (!dec.isEmpty() && qc.decompositionTag() == QChar::Canonical) {
                base = dec[0].unicode();
                for (int i = 1; i < dec.size(); ++i) {
                    if (dec[i].isMark()) {
                        f.accent = dec[i].unicode();
                        break;
                    }
                }
                // Letters decomposed twice over (rare in French) keep their first base letter.
                QString again = QChar(static_cast<char16_t>(base)).decomposition();
                if (!again.isEmpty() && QChar(static_cast<char16_t>(base)).decompositionTag() == QChar::Canonical)
                    base = again[0].unicode();
            }
            base = QChar(static_cast<char16_t>(base)).toCaseFolded().unicode();
            f.base[0] = base;
            table[c] = f;
        }
        auto lig = [](char32_t c, char a, char b) {
            Folded f;
            f.base[0] = static_cast<char32_t>(a);
            f.base[1] = static_cast<char32_t>(b);
            f.count = 2;
            f.accent = 1; // after the two plain letters written out
            table[c] = f;
        };
        lig(0x152, 'o', 'e');
        lig(0x153, 'o', 'e');
        lig(0xC6, 'a', 'e');
        lig(0xE6, 'a', 'e');
        lig(0xDF, 's', 's');
    });
    return table;
}

// Decodes one UTF-8 code point; malformed bytes are taken as Latin-1.
char32_t nextCodePoint(const unsigned char* s, int len, int& i) {
    const unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        ++i;
        return c;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= len || (s[i + k] & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    i += extra + 1;
    return cp;
}

Folded fold(char32_t cp) {
    if (cp < kTableEnd)
        return foldTable()[cp];
    Folded f;
    if (cp <= 0xFFFF) {
        const QChar qc(static_cast<char16_t>(cp));
        QString dec = qc.decomposition();
        char32_t base = cp;
        if (!dec.isEmpty() && qc.decompositionTag() == QChar::Canonical) {
            base = dec[0].unicode();
            if (dec.size() > 1 && dec[1].isMark())
                f.accent = dec[1].unicode();
        }
        f.base[0] = QChar(static_cast<char16_t>(base)).toCaseFolded().unicode();
    } else {
        f.base[0] = cp;
    }
    return f;
}

struct Expanded {
    std::vector<char32_t> primary;
    std::vector<quint16> accents;
};

void expand(const unsigned char* s, int len, Expanded& out) {
    out.primary.clear();
    out.accents.clear();
    int i = 0;
    while (i < len) {
        const char32_t cp = nextCodePoint(s, len, i);
        const Folded f = fold(cp);
        if (cp >= 0x300 && cp < 0x370) { // a combining mark written apart counts as an accent
            if (!out.accents.empty())
                out.accents.back() = static_cast<quint16>(cp);
            continue;
        }
        for (int k = 0; k < f.count; ++k)
            out.primary.push_back(f.base[k]);
        out.accents.push_back(f.accent);
    }
}

enum class Strength { Primary, WithAccents };

// The full comparison: base letters first, then (with accents) the accents in order.
int slowCompare(const unsigned char* a, int lenA, const unsigned char* b, int lenB, Strength strength) {
    thread_local Expanded ea, eb;
    expand(a, lenA, ea);
    expand(b, lenB, eb);
    if (ea.primary != eb.primary)
        return std::lexicographical_compare(ea.primary.begin(), ea.primary.end(), eb.primary.begin(), eb.primary.end())
                   ? -1
                   : 1;
    if (strength == Strength::Primary || ea.accents == eb.accents)
        return 0;
    return std::lexicographical_compare(ea.accents.begin(), ea.accents.end(), eb.accents.begin(), eb.accents.end()) ? -1
                                                                                                                    : 1;
}

inline unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Plain ASCII, by far the common case, compares byte by byte without regard to case; anything
// else takes the full comparison.
int compareUtf8(const unsigned char* ua, int lenA, const unsigned char* ub, int lenB, Strength strength) {
    const int n = std::min(lenA, lenB);
    for (int i = 0; i < n; ++i) {
        const unsigned char ca = ua[i], cb = ub[i];
        if ((ca | cb) & 0x80)
            return slowCompare(ua, lenA, ub, lenB, strength);
        const unsigned char la = asciiLower(ca), lb = asciiLower(cb);
        if (la != lb)
            return la < lb ? -1 : 1;
    }
    if (lenA == lenB)
        return 0;
    // A longer rest decides, unless it starts with a combining mark or a ligature.
    const unsigned char* rest = lenA > lenB ? ua + n : ub + n;
    if (*rest & 0x80)
        return slowCompare(ua, lenA, ub, lenB, strength);
    return lenA < lenB ? -1 : 1;
}

// LIKE compares letters by their base letter, without regard to case or accent: CES finds Césarienne.
QChar likeFold(QChar c) {
    const char16_t u = c.unicode();
    if (u < kTableEnd) {
        const Folded& f = foldTable()[u];
        if (f.count == 1)
            return QChar(static_cast<char16_t>(f.base[0]));
    }
    return c.toCaseFolded();
}

// Plain ASCII text seen as characters without converting it: most names and labels are.
struct AsciiView {
    const unsigned char* s;
    int n;
    int size() const { return n; }
    QChar operator[](int i) const { return QChar(static_cast<char16_t>(s[i])); }
};

bool hasWildcard(const unsigned char* s, int n) {
    for (int i = 0; i < n; ++i) {
        if (s[i] == '*' || s[i] == '?' || s[i] == '#' || s[i] == '[')
            return true;
    }
    return false;
}

bool isAscii(const unsigned char* s, int n) {
    for (int i = 0; i < n; ++i) {
        if (s[i] & 0x80)
            return false;
    }
    return true;
}

// A class [..] at pi: the position of its ']', or -1 when the bracket opens no class (it is then
// taken as itself). Each member is handed over as (first, last, whether a range).
template <class P, class F> int likeClass(const P& p, int pi, bool* negate, F&& member) {
    int close = pi + 1;
    while (close < p.size() && p[close] != u']')
        ++close;
    if (close >= p.size() || close == pi + 1)
        return -1;
    int k = pi + 1;
    *negate = p[k] == u'!';
    if (*negate)
        ++k;
    for (; k < close; ++k) {
        const bool range = k + 2 < close && p[k + 1] == u'-';
        member(p[k], p[range ? k + 2 : k], range);
        if (range)
            k += 2;
    }
    return close;
}

// One pattern element (not a star) against one character; *width is the element's length.
template <class P> bool elementMatches(const P& p, int pi, QChar tc, int* width) {
    const QChar pc = p[pi];
    *width = 1;
    if (pc == u'?')
        return true;
    if (pc == u'#')
        return tc.isDigit();
    if (pc == u'[') {
        bool negate = false, matched = false;
        const QChar lt = likeFold(tc);
        const int close = likeClass(p, pi, &negate, [&](QChar first, QChar last, bool) {
            matched = matched || (lt >= likeFold(first) && lt <= likeFold(last));
        });
        if (close >= 0) {
            *width = close - pi + 1;
            return matched != negate;
        }
    }
    return likeFold(pc) == likeFold(tc);
}

// Matching with a star goes back only to the last star seen: time grows with the lengths of the
// pattern and the text multiplied, never exponentially, whatever the user types.
template <class P, class T> bool likeMatch(const P& p, const T& t) {
    int pi = 0, ti = 0;
    int starPi = -1, starTi = 0;
    while (ti < t.size()) {
        int width = 1;
        if (pi < p.size() && p[pi] == u'*') {
            starPi = ++pi;
            starTi = ti;
        } else if (pi < p.size() && elementMatches(p, pi, t[ti], &width)) {
            pi += width;
            ++ti;
        } else if (starPi >= 0) {
            pi = starPi;
            ti = ++starTi;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

} // namespace

int frenchCompare(const char* a, int lenA, const char* b, int lenB) {
    return compareUtf8(reinterpret_cast<const unsigned char*>(a), lenA, reinterpret_cast<const unsigned char*>(b), lenB,
                       Strength::WithAccents);
}

int frenchComparePrimary(const char* a, int lenA, const char* b, int lenB) {
    return compareUtf8(reinterpret_cast<const unsigned char*>(a), lenA, reinterpret_cast<const unsigned char*>(b), lenB,
                       Strength::Primary);
}

bool jetLike(const char* pattern, int patternLength, const char* text, int textLength) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    if (!hasWildcard(p, patternLength))
        return compareUtf8(p, patternLength, t, textLength, Strength::Primary) == 0;
    if (isAscii(p, patternLength) && isAscii(t, textLength))
        return likeMatch(AsciiView{p, patternLength}, AsciiView{t, textLength});
    return likeMatch(QString::fromUtf8(pattern, patternLength), QString::fromUtf8(text, textLength));
}

int frenchCompare(const QString& a, const QString& b) {
    const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
    return frenchCompare(ua.constData(), int(ua.size()), ub.constData(), int(ub.size()));
}

bool jetLike(const QString& pattern, const QString& text) {
    const QByteArray p = pattern.toUtf8(), t = text.toUtf8();
    return jetLike(p.constData(), int(p.size()), t.constData(), int(t.size()));
}

QString primaryFoldOf(char32_t c) {
    if (c >= 0x300 && c < 0x370)
        return QString();
    const Folded f = fold(c);
    QString out;
    for (int k = 0; k < f.count; ++k)
        out += QString::fromUcs4(&f.base[k], 1);
    return out;
}

char32_t likeFoldOf(char32_t c) {
    if (c > 0xFFFF)
        return c;
    return likeFold(QChar(static_cast<char16_t>(c))).unicode();
}

char32_t caseFoldOf(char32_t c) {
    if (c > 0xFFFF)
        return c;
    return QChar(static_cast<char16_t>(c)).toCaseFolded().unicode();
}

std::optional<QString> likeRegex(const QString& p) {
    // Every character is written as an escape, so nothing the user types is taken as regex syntax.
    auto escaped = [](char32_t c) {
        return c > 0xFFFF ? QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'))
                          : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    };
    auto fold = [](QChar c) { return likeFoldOf(c.unicode()); };
    QString re = QStringLiteral("^");
    for (int pi = 0; pi < p.size(); ++pi) {
        const QChar pc = p[pi];
        if (pc == u'*') {
            re += QStringLiteral(".*");
        } else if (pc == u'?') {
            re += u'.';
        } else if (pc == u'#') {
            re += QStringLiteral("[0-9]");
        } else if (bool negate = false; pc == u'[') {
            QString members;
            const int close = likeClass(p, pi, &negate, [&](QChar first, QChar last, bool range) {
                if (!range)
                    members += escaped(fold(first));
                else if (fold(first) <= fold(last))
                    members += escaped(fold(first)) + u'-' + escaped(fold(last));
            });
            if (close < 0) {
                re += escaped(fold(pc));
                continue;
            }
            if (members.isEmpty() && !negate)
                return std::nullopt;
            if (members.isEmpty())
                re += u'.';
            else
                re += (negate ? QStringLiteral("[^") : QStringLiteral("[")) + members + u']';
            pi = close;
        } else if (pc.isHighSurrogate() && pi + 1 < p.size() && p[pi + 1].isLowSurrogate()) {
            re += escaped(QChar::surrogateToUcs4(pc, p[pi + 1]));
            ++pi;
        } else {
            re += escaped(fold(pc));
        }
    }
    return re + u'$';
}

} // namespace obs
