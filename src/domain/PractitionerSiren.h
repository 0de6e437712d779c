// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Status.h"

#include <QString>

namespace obs {

class Store;

// Each practitioner's SIREN is kept in their own entry of the list of practitioners (its code,
// which a practitioner has no other use for): the workstations share it through the base, it
// follows a renamed practitioner, and every change of it is journalled with the entry.
namespace PractitionerSiren {

// The SIREN kept for this practitioner (a name as the list holds it, without regard to case);
// empty when none was kept. *found false when the practitioner is not in the list.
Status read(Store& store, const QString& practitioner, QString* siren, bool* found = nullptr);

// Keeps this SIREN for the practitioner, through the list's one write path; nothing is written
// when it is already the one kept. NoCurrentRecord when the practitioner is not in the list.
Status keep(Store& store, const QString& practitioner, const QString& siren);

} // namespace PractitionerSiren

} // namespace obs
