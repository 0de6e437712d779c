#pragma once

#include "common/Money.h"

#include <QString>
#include <optional>

namespace obs {

// What the act entry screen computes while the user fills it: the value of the acts chosen (the
// principal act at its catalogue value, each secondary act at half its value), the supplements of
// the tariff file, totals and francs, and the lines of the act list.
class FeeComputation {
public:
    // The night and holiday supplements of the tariff file, each kept as the text read.
    struct Supplements {
        bool found = false;  // the file could be opened
        int groupsRead = 0;  // complete groups of 44 fields whose supplements were taken
        bool failed = false; // reading stopped early: an incomplete group or a supplement that is no amount
        QString night;       // field 5
        QString holiday;     // field 6
    };
    static constexpr int kFieldsPerGroup = 44; // one group of the tariff file (TariffFile::FieldCount)
    static Supplements readSupplements(const QString& path);

    // A new entry, or a new act type: nothing chosen counts any more.
    void reset();
    // A principal act of the given catalogue value was chosen: the text for the value of the acts.
    QString principalChosen(const std::optional<Money>& tariff);
    // A secondary act was chosen: its half value joins the others; the text for the value of the acts.
    QString secondaryChosen(const std::optional<Money>& tariff);
    // The half value of the secondary act chosen last, as its list line shows it.
    QString secondaryValueText() const { return frenchAmountText(m_secondary); }

    // An amount box as the fee reads it: an empty box counts as 0, a text that is not a number gives nothing.
    static std::optional<Money> boxAmount(const QString& text);
    // Acts plus supplement; an empty text when either does not read as a number.
    static QString totalText(const QString& acts, const QString& supplement);
    // The francs caption for an amount box: nothing when the box is empty (the caption stays), an empty
    // caption when the text is not a number, else "2056,43 F".
    static std::optional<QString> francsFor(const QString& text);
    // A supplement as its caption shows it: two decimals, a blank and the euro sign (25,15 €).
    static QString currencyCaption(const QString& amountText);

    // Act list lines: delivery lines carry an amount, surgical lines none.
    static QString deliveryLine(const QString& ccam, const QString& label, const QString& amount);
    static QString surgicalLine(const QString& ccam, const QString& label);

private:
    std::optional<Money> m_principal;
    std::optional<Money> m_secondary;
    Money m_secondarySum;
};

} // namespace obs
