#pragma once

#include <QWidget>

namespace obs {

// A window of the program opened from the main window: not modal, one at a time, and it tells
// when it is gone, however it was closed, so that the main window shows itself again.
class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(const QString& objectName, QWidget* parent = nullptr);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape: closes the screen; a screen whose close button asks first asks here too.
    virtual void escapePressed();
};

// Ends the program in an orderly way (a failed database path test, a database that cannot be
// opened). Tests read endRequested().
void endProgram();
bool endRequested();
void clearEndRequest();

} // namespace obs
