#pragma once

#include "store/Row.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class MainWindow;
}

namespace obs {

class ActEntryWindow;
class ReferenceListsEditor;
class SearchWindow;
class BackupWindow;
class AboutBox;
class Screen;

// The main window: shows one act record at a time, finds a patient by surname as the user types,
// steps through the records, saves corrections and payments, deletes, and opens every other screen.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens the database as at every load; false when the program must end.
    bool load();

    // Shows a row of act records (AFFICHE); a row of another table shows nothing.
    bool showRow(const Row& row);
    // Clears the record display (EFFACEFICHE).
    void clearRecord();
    // Recomputes the payments total (ADDITION).
    void recomputePayments();
    // Sets "Montant Total"; the francs follow whenever it is not empty.
    void setTotalCaption(const QString& caption);

    // The main window of the running program, if any (for the screens that fill it).
    static MainWindow* instance();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void searchByName(const QString& text);
    enum class Move { First, Last, Previous, Next };
    void moveRecord(Move move);
    void recomputeTotalFromBoxes();
    void save();
    void remove();
    template <class T> void openScreen(QPointer<T>& slot, bool hideMain = true);
    void openBackup();
    void screenClosed();

    std::unique_ptr<Ui::MainWindow> m_ui;
    QLabel* m_label12 = nullptr;
    QLabel* m_lblNumero = nullptr;
    QLineEdit* m_txtNom = nullptr;
    QLineEdit* m_txtPrenom = nullptr;
    QLineEdit* m_txtDate = nullptr;
    QLineEdit* m_txtActe = nullptr;
    QLineEdit* m_txtCotation = nullptr;
    QListWidget* m_lstActes = nullptr;
    QLineEdit* m_txtOp = nullptr;
    QLineEdit* m_txtEuros = nullptr;
    QLineEdit* m_txtDE = nullptr;
    QLabel* m_lblTotal = nullptr;
    QLabel* m_lblTotalF = nullptr;
    QLineEdit* m_txtPrat1 = nullptr;
    QLineEdit* m_txtPrat2 = nullptr;
    QLineEdit* m_txtPSecu = nullptr;
    QLineEdit* m_txtPCompl = nullptr;
    QLineEdit* m_txtPDE = nullptr;
    QLabel* m_lblPTotal = nullptr;
    QLineEdit* m_text1 = nullptr;

    QPointer<ActEntryWindow> m_entry;
    QPointer<ReferenceListsEditor> m_reference;
    QPointer<SearchWindow> m_search;
    QPointer<BackupWindow> m_backup;
    QPointer<AboutBox> m_about;
    bool m_ending = false;
};

} // namespace obs
