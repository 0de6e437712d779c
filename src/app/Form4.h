#pragma once

#include "store/Row.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace obs {

class Form2;
class Form8;
class Form10;
class Form21;
class FrmAbout;
class Screen;

// The main window: shows one act record at a time, finds a patient by surname as the user types,
// steps through the records, saves corrections and payments, deletes, and opens every other screen.
class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

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
    static Form4* instance();

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

    QPointer<Form2> m_entry;
    QPointer<Form8> m_reference;
    QPointer<Form10> m_search;
    QPointer<Form21> m_backup;
    QPointer<FrmAbout> m_about;
    bool m_ending = false;
};

} // namespace obs
