#include "widgets/ListChoice.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>

namespace obs {

ListChoice* ListChoice::attach(QComboBox* combo) {
    return new ListChoice(combo);
}

ListChoice::ListChoice(QComboBox* combo) : QObject(combo), m_combo(combo) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->installEventFilter(this);
    if (combo->lineEdit())
        combo->lineEdit()->installEventFilter(this);
    connect(combo, qOverload<int>(&QComboBox::activated), this, &ListChoice::onActivated);
}

bool ListChoice::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if ((t != QEvent::KeyPress && t != QEvent::Wheel) || m_typing)
        return false;
    // The activation such an event causes is emitted while the event is handled: the event is
    // delivered here, in full, with the flag up, and goes no further afterwards.
    QPointer<ListChoice> guard(this);
    m_typing = true;
    QCoreApplication::sendEvent(watched, event);
    if (!guard)
        return true;
    m_typing = false;
    event->accept();
    return true;
}

void ListChoice::onActivated(int index) {
    if (m_typing || index < 0 || index >= m_combo->count())
        return;
    const QString text = m_combo->itemText(index);
    if (m_combo->currentText() != text)
        return;
    emit chosen(text);
}

} // namespace obs
