#pragma once

#include "accounts/ListPrint.h"
#include "domain/Listing.h"
#include "store/Row.h"
#include "widgets/Screen.h"

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace obs {

class Database;
class MainWindow;

// The search and accounts screen: lists the acts of a period by criteria with their count and
// total, the unpaid acts and the acts with an excess fee; works out what one practitioner owes
// another and records the sums paid over; opens a found act in the main window; prints the list.
class SearchWindow : public Screen {
    Q_OBJECT
public:
    // Builds the screen and loads it: rates file, today's date, database, practitioner and act lists.
    explicit SearchWindow(QWidget* parent = nullptr);

    // The printed lines of the found list under its heading, as the print buttons send them.
    std::vector<ListPrint::Line> composedPrint() const;

private:
    void buildUi();
    void load();
    void fillLists(const std::shared_ptr<Database>& db);

    void runListing(Listing::Kind kind);
    void showCountAndTotal(const QString& count, const QString& euros, const QString& francs);
    void clearSearch();

    void practitionerChosen();
    void computeOwed();
    void sumTyped(const QString& text);
    void recordPayment();
    void saveRates();

    void openFoundAct(QListWidgetItem* item);
    void fillMainWindow(MainWindow* main, const Row& act);

    void printList(bool choosePrinter);

    // The shared database, opened again when it is missing; nothing (and a message) on failure.
    std::shared_ptr<Database> database();

    // Search half
    QLineEdit* m_txtDate1 = nullptr;
    QLineEdit* m_txtDate2 = nullptr;
    QComboBox* m_cmbPrat1 = nullptr;
    QComboBox* m_cmbPrat2 = nullptr;
    QComboBox* m_cmbActes = nullptr;
    QComboBox* m_cmbNF = nullptr;
    QListWidget* m_list1 = nullptr;
    QListWidget* m_list2 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_lblTotalActes = nullptr;
    QLabel* m_lblTotalActesF = nullptr;

    // Reversal half
    QLineEdit* m_txtDate3 = nullptr;
    QLineEdit* m_txtDate4 = nullptr;
    QComboBox* m_cmbPPrat1 = nullptr;
    QComboBox* m_cmbPPrat2 = nullptr;
    QPushButton* m_cmdDoit = nullptr;
    QLabel* m_label7 = nullptr;
    QLabel* m_lblDejaVerse = nullptr;
    QLabel* m_label9 = nullptr;
    QLabel* m_label8 = nullptr;
    QLabel* m_lblDoit = nullptr;
    QLabel* m_lblDoitF = nullptr;
    QLineEdit* m_txtTauxClin = nullptr;
    QLineEdit* m_txtTauxPrat = nullptr;
    QLabel* m_label12 = nullptr;
    QLineEdit* m_txtDateRev = nullptr;
    QLineEdit* m_txtSommeRev = nullptr;
    QLabel* m_lblSommeRev = nullptr;
    QLabel* m_label13 = nullptr;
};

} // namespace obs
