#include "widgets/AmountKeyFilter.h"

#include "widgets/TextGuard.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace obs {

void AmountKeyFilter::install(QLineEdit* box, Mode mode) {
    box->installEventFilter(new AmountKeyFilter(mode, box));
    if (mode == Mode::Cents)
        box->setValidator(new CentsValidator(box));
}

QValidator::State CentsValidator::validate(QString& input, int&) const {
    if (hasControlCharacter(input))
        return Invalid;
    input.replace(u'.', u',');
    // Any other mistake (two commas, a letter pasted) is said when the amount is saved.
    qsizetype decimals = -1; // digits after the last comma, while they follow it
    for (const QChar c : std::as_const(input)) {
        if (c == u',')
            decimals = 0;
        else if (c >= u'0' && c <= u'9' && decimals >= 0)
            ++decimals;
        else
            decimals = -1;
        if (decimals > 2)
            return Invalid;
    }
    return Acceptable;
}

bool AmountKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    // Keys that type nothing (Tab, arrows, Delete, Home, End) and shortcuts pass untouched.
    if (text.isEmpty() || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
        key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Escape ||
        key->key() == Qt::Key_Delete)
        return false;
    if (m_mode == Mode::NoQuote)
        return text.contains(u'"');
    QString accepted;
    for (QChar c : text) {
        if ((c >= u'0' && c <= u'9') || c == u',')
            accepted += c;
        else if (c == u'.')
            accepted += u',';
    }
    if (accepted == text)
        return false;
    if (!accepted.isEmpty()) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            box->insert(accepted);
    }
    return true;
}

} // namespace obs
