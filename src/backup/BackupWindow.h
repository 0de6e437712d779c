#pragma once

#include "widgets/Screen.h"

#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class BackupWindow;
}

namespace obs {

// The backup screen: chooses the backup folder, backs the database file up into it, or puts the
// backup back in place of the database. The main window closes the shared database before it
// opens this screen and opens it again when the screen is gone.
class BackupWindow : public Screen {
    Q_OBJECT
public:
    explicit BackupWindow(QWidget* parent = nullptr);
    ~BackupWindow() override;

private:
    void buildUi();
    void chooseFolder();
    void backup();
    void restore();

    std::unique_ptr<Ui::BackupWindow> m_ui;
    QString m_databasePath;
    QString m_backupFolder;
    QLabel* m_label1 = nullptr;
    QPushButton* m_cmdSauve = nullptr;
    QPushButton* m_cmdRestaure = nullptr;
};

} // namespace obs
