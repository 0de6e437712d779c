// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantList>
#include <functional>

namespace obs {

// When set, sees the text and the values of every statement an engine prepares, before it runs:
// lets the tests ask the engine how it runs what the program really sends. Unset in the program.
using StatementLog = std::function<void(const QString& sql, const QVariantList& binds)>;
inline StatementLog& statementLog() {
    static StatementLog log;
    return log;
}

} // namespace obs
