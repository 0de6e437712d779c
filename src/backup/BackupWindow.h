#pragma once

#include "widgets/Screen.h"

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace Ui {
class BackupWindow;
}

namespace obs {

// The backup screen: chooses the backup folder, backs the database file up into it, or puts the
// backup (the latest, or one of the dated earlier ones) back in place of the database. The main
// window closes the shared database before it opens this screen and opens it again when the
// screen is gone.
class BackupWindow : public Screen {
    Q_OBJECT
public:
    explicit BackupWindow(QWidget* parent = nullptr);
    ~BackupWindow() override;

signals:
    // A restore replaced the database's content (sent before the screen closes): whatever a
    // screen still holds of the replaced content is stale.
    void restored();

private:
    void buildUi();
    void chooseFolder();
    void backup();
    void restore();
    void restoreChosen();
    void restoreFrom(const QString& backupFile);
    void showBackupCaption(const QString& lead, const QString& folder);
    void showFolder(const QString& folder);
    void listEarlierBackups();
    QString currentSummary() const;

    std::unique_ptr<Ui::BackupWindow> m_ui;
    QString m_databasePath;
    QString m_backupFolder;
    QLabel* m_folderShown = nullptr;
    QPushButton* m_cmdSauve = nullptr;
    QPushButton* m_cmdRestaure = nullptr;
    QLabel* m_earlierTitle = nullptr;
    QListWidget* m_earlier = nullptr;
    QPushButton* m_restoreChosen = nullptr;
};

} // namespace obs
