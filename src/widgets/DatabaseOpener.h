#pragma once

class QWidget;

namespace obs {
class SharedDatabase;
}

namespace obs {

// Opening the database when a screen loads: reads "CHEMIN" into the database path, tests its
// form when asked (main window, reference lists) and opens it as the shared database.
enum class OpenOutcome { Opened, PathRefused, Failed, ReadOnly };

// The path test's failure shows the not-found message and ends the program; a file that cannot
// be opened, or that this user cannot write, is reported too, and ends the program when
// endOnFailure is set (every screen writes: a base that can only be read would lose what is typed).
OpenOutcome openDatabaseAtLoad(QWidget* parent, SharedDatabase& database, bool testPath, bool endOnFailure);

// The not-found message of the path test.
extern const char* const kDatabaseNotFoundMessage;
// The start of the message for a base this user cannot write; the base's path follows.
extern const char* const kReadOnlyBaseMessage;

} // namespace obs
