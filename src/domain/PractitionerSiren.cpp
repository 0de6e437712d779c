// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/PractitionerSiren.h"

#include "store/Store.h"

namespace obs::PractitionerSiren {

namespace {
Status entryOf(Store& store, const QString& practitioner, ReferenceEntry* entry, bool* found) {
    return store.references().find(ReferenceList::Practitioners, practitioner, entry, found);
}
} // namespace

Status read(Store& store, const QString& practitioner, QString* siren, bool* found) {
    siren->clear();
    ReferenceEntry entry;
    bool present = false;
    const Status s = entryOf(store, practitioner, &entry, &present);
    if (found)
        *found = present;
    if (s && present)
        *siren = entry.code.trimmed();
    return s;
}

Status keep(Store& store, const QString& practitioner, const QString& siren) {
    ReferenceEntry shown;
    bool found = false;
    Status s = entryOf(store, practitioner, &shown, &found);
    if (s && found && shown.code == siren)
        return s;
    if (s && found) {
        ReferenceEntry edited = shown;
        edited.code = siren;
        s = store.references().modify(shown, edited, &found);
    }
    if (s && !found)
        return Status::failure(
            StoreError::NoCurrentRecord,
            QStringLiteral("Le praticien « %1 » n'est plus dans la liste des praticiens.").arg(practitioner));
    return s;
}

} // namespace obs::PractitionerSiren
