// The text order of every index: an inconsistent order corrupts them. Checked on three texts at a
// time: reflexive, antisymmetric, transitive, and the same on UTF-8 bytes as on Qt strings.
#include "FuzzSupport.h"
#include "store/sqlite/Collation.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>

using namespace obs;
using namespace obs::fuzz;

namespace {

// Pieces where the order has its subtleties: case, accents precomposed or written apart, ligatures
// and what they stand for, letters outside Latin-1, malformed and overlong UTF-8.
const std::string_view kPieces[] = {
    "a",
    "A",
    "b",
    "e",
    "E",
    "\xC3\xA9" /* é */,
    "\xC3\x89" /* É */,
    "e\xCC\x81" /* e + acute */,
    "\xCC\x81" /* lone acute */,
    "\xCC\x88" /* lone diaeresis */,
    "o",
    "oe",
    "OE",
    "\xC5\x93" /* œ */,
    "\xC5\x92" /* Œ */,
    "ae",
    "\xC3\xA6" /* æ */,
    "ss",
    "\xC3\x9F" /* ß */,
    "s",
    "\xC5\xBF" /* long s */,
    "k",
    "\xE2\x84\xAA" /* Kelvin */,
    "i",
    "\xC4\xB0" /* İ */,
    "\xC4\xB1" /* ı */,
    "\xC7\x85" /* ǅ */,
    "\xE1\xBA\xA5" /* ấ */,
    "\xC3\xA2" /* â */,
    " ",
    "-",
    "'",
    "0",
    "9",
    "z",
    "Z",
    "~",
    "\x7F",
    "\xC2\xA0" /* no-break space */,
    "\xEF\xBF\xBD" /* replacement */,
    "\xF0\x9F\x98\x80" /* emoji */,
    "\xC3" /* cut short */,
    "\x80",
    "\xFF",
    "\xC1\x81" /* overlong A */,
    "\xED\xA0\x80" /* surrogate */,
    std::string_view("\0", 1),
};

std::string spell(FuzzedDataProvider& in) {
    std::string s;
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 8);
    for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
        s += kPieces[in.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
    return s;
}

int cmp(const std::string& a, const std::string& b) {
    return sign(frenchCompare(a.data(), int(a.size()), b.data(), int(b.size())));
}

QString show(const std::string& s) {
    return escaped(QByteArray::fromStdString(s));
}

bool validUtf8(const std::string& s) {
    const QByteArray b = QByteArray::fromStdString(s);
    return QString::fromUtf8(b).toUtf8() == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::string t[3];
    if (in.ConsumeBool()) {
        for (std::string& s : t)
            s = in.ConsumeRandomLengthString(64);
    } else {
        for (std::string& s : t)
            s = spell(in);
    }
    for (const std::string& s : t)
        FUZZ_CHECK(cmp(s, s) == 0, QStringLiteral("%1 differs from itself").arg(show(s)));
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const std::string &a = t[i], &b = t[j];
            FUZZ_CHECK(cmp(a, b) == -cmp(b, a), QStringLiteral("%1 vs %2 gives %3, the other way %4")
                                                    .arg(show(a), show(b))
                                                    .arg(cmp(a, b))
                                                    .arg(cmp(b, a)));
            if (validUtf8(a) && validUtf8(b)) {
                const int q = sign(frenchCompare(QString::fromStdString(a), QString::fromStdString(b)));
                FUZZ_CHECK(
                    q == cmp(a, b),
                    QStringLiteral("%1 vs %2: %3 as bytes, %4 as strings").arg(show(a), show(b)).arg(cmp(a, b)).arg(q));
            }
            for (int k = 0; k < 3; ++k) {
                const std::string& c = t[k];
                const int ab = cmp(a, b), bc = cmp(b, c), ac = cmp(a, c);
                // a <= b <= c gives a <= c, strictly when either step is strict.
                if (ab <= 0 && bc <= 0)
                    FUZZ_CHECK(ac <= 0 && (ac < 0 || (ab == 0 && bc == 0)),
                               QStringLiteral("%1 %2 %3 %4 %5, yet %1 vs %5 gives %6")
                                   .arg(show(a), ab < 0 ? "<" : "=", show(b), bc < 0 ? "<" : "=", show(c))
                                   .arg(ac));
            }
        }
    }
    return 0;
}
