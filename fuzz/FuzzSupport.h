#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace obs::fuzz {

// A broken promise of the code under test: says which and stops the run (libFuzzer keeps the input).
[[noreturn]] void fail(const char* what, const QString& detail);

// The input as bytes, without copying it.
inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// One scratch file of the run, in a temporary folder removed at exit, rewritten with each input:
// the readers under test take a path.
QString writeScratchFile(const QByteArray& content);
QString scratchFolder();

// Shown form of a text for a failure message: every character that is not printable ASCII escaped.
QString escaped(const QString& text);
QString escaped(const QByteArray& bytes);

inline int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace obs::fuzz

#define FUZZ_CHECK(cond, detail)                                                                                       \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::obs::fuzz::fail(#cond, (detail));                                                                        \
    } while (0)
