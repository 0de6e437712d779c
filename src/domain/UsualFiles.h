// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace obs {

// Writes the tariff file with the editor's initial values and the rates file with the usual
// rates ("10","50") into folder, only where they are missing: a clinic's own files are never
// replaced. created receives the files written; on failure error names the file and the cause.
bool writeMissingUsualFiles(const QString& folder, QStringList* created, QString* error);

// For an installed program, whose application folder is the user's data folder: creates that
// folder and its usual files the first time. Does nothing for any other application folder.
bool prepareApplicationFolder(QString* error);

} // namespace obs
