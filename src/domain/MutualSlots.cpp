// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/MutualSlots.h"

#include <QStringList>

#include <algorithm>

namespace obs::MutualSlots {

namespace {
// The column (1 to 6) of an insurer in a list, none past the sixth or when absent.
std::optional<int> columnOf(const std::vector<Insurer>& list, qint64 id, bool* present) {
    *present = false;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id != id)
            continue;
        *present = true;
        if (i < size_t(kCount))
            return int(i) + 1;
        return std::nullopt;
    }
    return std::nullopt;
}
} // namespace

bool Plan::rewritesColumns() const {
    for (int k = 0; k < kCount; ++k) {
        if (sourceOf[size_t(k)] != k + 1)
            return true;
    }
    return false;
}

bool Plan::movesInsurers() const {
    for (const Move& m : moves) {
        if (m.from && !m.removed)
            return true;
    }
    return false;
}

bool Plan::losesAmounts() const {
    for (const Move& m : moves) {
        if (m.from && !m.to && !m.removed)
            return true;
    }
    return false;
}

Plan plan(const std::vector<Insurer>& before, const std::vector<Insurer>& after) {
    Plan p;
    p.sourceOf.fill(std::nullopt);
    for (size_t k = 0; k < size_t(kCount); ++k) {
        bool present = false;
        if (k < after.size())
            p.sourceOf[k] = columnOf(before, after[k].id, &present);
        else if (k >= before.size())
            p.sourceOf[k] = int(k) + 1; // a column nobody holds, before or after, is left as it is
    }
    for (const Insurer& was : before) {
        bool wasPresent = false;
        bool stays = false;
        const auto from = columnOf(before, was.id, &wasPresent);
        const auto to = columnOf(after, was.id, &stays);
        if (from != to && (from || to))
            p.moves.push_back({was.label, from, to, !stays});
    }
    for (const Insurer& now : after) {
        bool was = false;
        columnOf(before, now.id, &was);
        bool stays = false;
        const auto to = columnOf(after, now.id, &stays);
        if (!was && to)
            p.moves.push_back({now.label, std::nullopt, to, false});
    }
    return p;
}

std::vector<int> emptiedColumns(const Plan& plan) {
    std::vector<int> emptied;
    for (int j = 1; j <= kCount; ++j) {
        if (std::find(plan.sourceOf.begin(), plan.sourceOf.end(), j) == plan.sourceOf.end())
            emptied.push_back(j);
    }
    return emptied;
}

QString question(const Plan& plan, const Loss& loss) {
    QStringList lines;
    for (const Move& m : plan.moves) {
        if (m.removed || !m.from)
            continue;
        if (m.to)
            lines
                << QStringLiteral("« %1 » passe de la colonne %2 à la colonne %3").arg(m.label).arg(*m.from).arg(*m.to);
        else
            lines << QStringLiteral("« %1 » sort des six colonnes (colonne %2) : ses montants seront perdus")
                         .arg(m.label)
                         .arg(*m.from);
    }
    for (const Move& m : plan.moves) {
        if (m.removed && m.from)
            lines << QStringLiteral("« %1 » est supprimée : ses montants (colonne %2) sont retirés des actes")
                         .arg(m.label)
                         .arg(*m.from);
        else if (!m.from && m.to)
            lines << QStringLiteral("« %1 » prend la colonne %2, sans montant").arg(m.label).arg(*m.to);
    }
    if (loss.acts > 0) {
        QStringList columns;
        for (int c : loss.columns)
            columns << QString::number(c);
        const QString which =
            columns.size() == 1
                ? QStringLiteral("de la colonne %1").arg(columns[0])
                : QStringLiteral("des colonnes %1 et %2")
                      .arg(columns.mid(0, columns.size() - 1).join(QStringLiteral(", ")), columns.last());
        const QString amount =
            loss.amount ? loss.amount->toEuroText() : QStringLiteral("un montant trop grand pour être calculé");
        lines << (loss.acts == 1 ? QStringLiteral("Les montants %1 seront effacés : 1 acte perd %2 de dépassement")
                                       .arg(which, amount)
                                 : QStringLiteral("Les montants %1 seront effacés : %2 actes perdent en tout %3 de "
                                                  "dépassement")
                                       .arg(which)
                                       .arg(loss.acts)
                                       .arg(amount));
    }
    if (!plan.movesInsurers())
        return QStringLiteral("Ce changement de la liste des mutuelles vide des colonnes dans les tarifs des actes "
                              "(accouchements et chirurgie) :\n") +
               lines.join(u'\n') + QStringLiteral("\n\nFaire ce changement et effacer ces montants ?");
    return QStringLiteral("Ce changement de la liste des mutuelles déplace leurs colonnes dans les tarifs des "
                          "actes :\n") +
           lines.join(u'\n') +
           QStringLiteral("\n\nDéplacer les montants de dépassement de tous les actes (accouchements et chirurgie) "
                          "avec leur mutuelle ?");
}

} // namespace obs::MutualSlots
