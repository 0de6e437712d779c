// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace obs {

// One table of an Access file as mdbtools' mdb-export prints it by default: a first line of
// column names, then one row a line, texts between double quotes (an inner quote doubled, commas
// and line breaks kept inside), numbers bare. An empty text and a missing value print alike, so
// both read as an empty field.
struct AccessTable {
    QStringList columns;
    std::vector<QStringList> rows;
    std::vector<int> lines; // the line of the output where each row begins (the names are line 1)
};

// Reads that output whole; false with *why (the line named) when it is not of that form: a row
// with more or fewer fields than names, an unclosed quote, text after a closing quote, a bare
// field holding a quote, bytes that are not UTF-8, or output cut in the middle of a row.
bool readAccessExport(const QByteArray& output, AccessTable* table, QString* why);

} // namespace obs
