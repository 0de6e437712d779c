#pragma once

#include <QObject>

class QComboBox;

namespace obs {

// Tells when the user picks an item from a combo box's list. A text typed into the box computes
// nothing, even when it matches an item and Return is pressed; arrow keys and the mouse wheel on
// the closed box do not choose either (stepping through the secondary acts would add each one).
// Choosing from the open list, by mouse or by keyboard, does.
class ListChoice : public QObject {
    Q_OBJECT
public:
    // Watches the box (editable, items never added by typing) for as long as it lives.
    static ListChoice* attach(QComboBox* combo);

signals:
    void chosen(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ListChoice(QComboBox* combo);
    void onActivated(int index);

    QComboBox* m_combo;
    // Up while a key or wheel event on the closed box is being handled.
    bool m_typing = false;
};

} // namespace obs
