// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrenchTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstring>

namespace obs {

namespace {

// The few texts of Qt's dialogs that Qt's French catalogue leaves in English (Debian 12, Qt 6.4):
// the kind of a folder in the folder chooser, the two-sided printing choice of the print dialog.
struct Missing {
    const char* context;
    const char* source;
    const char* french;
};

const Missing kMissing[] = {
    {"QAbstractFileIconProvider", "Folder", "Dossier"},
    {"QAbstractFileIconProvider", "Drive", "Lecteur"},
    {"QPrintSettingsOutput", "Double Sided Printing", "Impression recto verso"},
    {"QPrintSettingsOutput", "Off", "Désactivée"},
    {"QPrintSettingsOutput", "Long side binding", "Reliure côté long"},
    {"QPrintSettingsOutput", "Short side binding", "Reliure côté court"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a hyphen. "
     "E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     "Indiquez des pages ou des plages séparées par des virgules ; une plage s'écrit avec deux numéros séparés "
     "par un tiret. Par exemple : 3,5-7,9 imprime les pages 3, 5, 6, 7 et 9."},
};

// Asked after Qt's own catalogue, so that a later catalogue that has these texts wins.
class MissingFrench final : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (!context || !source)
            return {};
        for (const Missing& m : kMissing)
            if (std::strcmp(context, m.context) == 0 && std::strcmp(source, m.source) == 0)
                return QString::fromUtf8(m.french);
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

bool loadFrenchTranslations(QCoreApplication& app) {
    // Translators are asked from the last installed: ours first in, so asked last.
    QCoreApplication::installTranslator(new MissingFrench(&app));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace obs
