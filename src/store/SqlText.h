#pragma once

#include <QString>
#include <QStringList>

namespace obs {

// Doubles the apostrophes of a typed value, so that it stays one text between the apostrophes
// that the query puts around it. Every typed value joined into SQL goes through here.
QString sqlEscape(const QString& value);

// Turns the program's SQL texts into what SQLite takes: a blank between a number and the word
// that follows it ("40543AND"), and the column name INDEX written as an identifier.
// LIKE wildcards need no change: the connection's LIKE follows the program's rules.
QString adaptSql(const QString& sql);

// The parts of a "SELECT ... FROM table [WHERE ...] [ORDER BY ...]" text, found outside quotes.
struct SelectParts {
    bool valid = false;
    QString columns;
    QString table;
    QString where;         // without the word WHERE; empty when none
    QStringList orderKeys; // column names, qualifiers dropped
};
SelectParts splitSelect(const QString& adaptedSql);

} // namespace obs
