#pragma once

#include <QString>
#include <QValidator>

class QWidget;

namespace obs {

// Whether a text holds a control character (below the space, or DEL): a NUL or an escape typed
// or pasted into a box would be stored as such and cut names short in listings and other tools.
bool hasControlCharacter(const QString& text);

// Refuses any text with a control character, then asks the box's own validator, if it had one.
class PlainTextValidator : public QValidator {
    Q_OBJECT
public:
    explicit PlainTextValidator(const QValidator* inner, QObject* parent) : QValidator(parent), m_inner(inner) {}
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    const QValidator* m_inner;
};

// Installs the refusal on every text box of a screen, the editable combo boxes' included. A text
// put by the program (setText) is shown as it is; only typing and pasting are refused.
void refuseControlCharacters(QWidget* screen);

} // namespace obs
