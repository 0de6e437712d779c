// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Money.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

namespace obs::MutualSlots {

// The k-th mutual insurer by label holds column MUTk of every act entry; there are six columns.
inline constexpr int kCount = 6;

// An insurer as the list holds it: its entry's identity in the base, and its label.
struct Insurer {
    qint64 id = 0;
    QString label;
    friend bool operator==(const Insurer&, const Insurer&) = default;
};

// Where one insurer's column goes when the list changes (columns 1 to 6).
struct Move {
    QString label;
    std::optional<int> from; // none: it had no column
    std::optional<int> to;   // none: it was removed, or pushed past the sixth column
    bool removed = false;    // it is no longer in the list at all
    friend bool operator==(const Move&, const Move&) = default;
};

// What a change of the insurer list does to the act entries' columns.
struct Plan {
    // For each column after the change (index 0: MUT1), the column before whose amounts it takes;
    // none when it takes no amount (a new insurer, or no insurer).
    std::array<std::optional<int>, kCount> sourceOf{1, 2, 3, 4, 5, 6};
    // The insurers whose column changes, in their order before the change, then those that gain one.
    std::vector<Move> moves;

    // Some column takes another's amounts or loses its own: the act entries must be rewritten.
    bool rewritesColumns() const;
    // Some insurer kept in the list moves from its column to another one or loses it: the user
    // must agree first.
    bool movesInsurers() const;
    // Some insurer kept in the list loses its column (pushed past the sixth): its amounts are lost.
    bool losesAmounts() const;
    friend bool operator==(const Plan&, const Plan&) = default;
};

// The plan between two lists in slot order; an insurer is the same on both sides when its id is.
Plan plan(const std::vector<Insurer>& before, const std::vector<Insurer>& after);

// The columns (1 to 6) whose amounts no column takes after the change: they are emptied, whoever
// held them (a removed insurer, one pushed past the sixth, or no insurer at all before a new one).
std::vector<int> emptiedColumns(const Plan& plan);

// What the stored amounts of the emptied columns come to: the act entries holding one (0 is none),
// their sum (nothing when it cannot be held) and the columns (1 to 6) that held them.
struct Loss {
    qint64 acts = 0;
    std::optional<Money> amount = Money();
    std::vector<int> columns;
};

// The question put before the amounts move or are emptied: which insurers move from which column
// to which, whose amounts are lost, and how many act entries lose how much.
QString question(const Plan& plan, const Loss& loss = {});

} // namespace obs::MutualSlots
