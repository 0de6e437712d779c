#include "widgets/TextGuard.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace obs {

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

QValidator::State PlainTextValidator::validate(QString& input, int& pos) const {
    if (hasControlCharacter(input))
        return Invalid;
    return m_inner ? m_inner->validate(input, pos) : Acceptable;
}

void PlainTextValidator::fixup(QString& input) const {
    if (m_inner)
        m_inner->fixup(input);
}

void refuseControlCharacters(QWidget* screen) {
    // A combo box made editable creates its box; boxes of combos not yet editable get theirs later.
    for (QLineEdit* box : screen->findChildren<QLineEdit*>()) {
        const QValidator* inner = box->validator();
        if (qobject_cast<const PlainTextValidator*>(inner))
            continue;
        box->setValidator(new PlainTextValidator(inner, box));
    }
}

} // namespace obs
