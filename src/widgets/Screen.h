#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace obs {

// A window of the program opened from the main window: not modal, one at a time, and it tells
// when it is gone, however it was closed, so that the main window shows itself again.
class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(const QString& objectName, QWidget* parent = nullptr);

    // A window that goes with this one: closing this screen closes it first, and when it stays
    // open (its user cancelled), this screen stays too.
    void takeAlong(QWidget* companion);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape: closes the screen; a screen whose close button asks first asks here too.
    virtual void escapePressed();

private:
    QList<QPointer<QWidget>> m_companions;
};

// Ends the program in an orderly way (a failed database path test, a database that cannot be
// opened). Tests read endRequested().
void endProgram();
bool endRequested();
void clearEndRequest();

} // namespace obs
