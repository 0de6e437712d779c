#pragma once

#include <QString>

namespace obs {

// The application folder, where the tariff and rates files live: OBSLEDGER_APPDIR when set,
// else the folder of the running program.
QString applicationFolder();
// A file of the application folder.
QString applicationFile(const QString& name);

} // namespace obs
