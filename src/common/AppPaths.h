#pragma once

#include <QString>

namespace obs {

// The application folder, where the tariff and rates files live: OBSLEDGER_APPDIR when set, else
// the folder of the running program when the user may write there, else the user's data folder
// (an installed program's folder, /usr/bin, is not writable).
QString applicationFolder();
// A file of the application folder.
QString applicationFile(const QString& name);
// The user's data folder of both programs: ~/.local/share/obsledger ($XDG_DATA_HOME/obsledger).
QString userDataFolder();
// True when the application folder is the user's data folder.
bool applicationFolderIsUserData();

// Tests: stands in for the program's folder and says whether it is writable; an empty folder
// goes back to the real one.
void simulateProgramFolder(const QString& folder, bool writable);

} // namespace obs
