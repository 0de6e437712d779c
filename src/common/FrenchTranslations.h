// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

namespace obs {

// Puts Qt's own texts (print dialog, folder chooser, standard buttons) in French whatever the
// user's language, since the whole program speaks French. Returns false when Qt's French
// catalogue is not installed (Debian package qt6-translations-l10n): Qt then stays in English,
// but for the few texts that catalogue lacks, which the program supplies itself.
bool loadFrenchTranslations(QCoreApplication& app);

} // namespace obs
