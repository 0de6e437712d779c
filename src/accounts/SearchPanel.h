// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "accounts/ListPrint.h"
#include "domain/Listing.h"
#include "store/Records.h"

#include <QGroupBox>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;

namespace Ui {
class SearchPanel;
}

namespace obs {

class ListingModel;
class SharedDatabase;

// What the search half shows: the period, the criteria, the found list with its count and total,
// and the line the user was on. Kept while a found act is open in the main window.
struct SearchState {
    QString from, to;
    QString followedBy, performedBy, act, nightOrHoliday, patient;
    QString totalCaption, count, euros, francs;
    ListingKind kind = ListingKind::Search;
    ListingRows rows;
    int currentLine = -1;
};

// The search half of the search screen: lists the acts of a period by criteria with their count
// and total, the unpaid acts and the acts with an excess fee, and prints the found list.
class SearchPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SearchPanel(SharedDatabase& database, QWidget* parent = nullptr);
    ~SearchPanel() override;

    // The practitioners and delivery acts offered as criteria.
    void setLists(const QStringList& practitioners, const QStringList& deliveryActs);
    // The printed lines of the found list under its heading, as the print buttons send them.
    std::vector<ListPrint::Line> composedPrint() const;
    void printList(bool choosePrinter);
    // Writes the acts of the found list, every column, to a file the user chooses.
    void exportList();
    const ListingModel& found() const { return *m_found; }
    SearchState state() const;
    // Shows a kept state again as it was, without searching.
    void restore(const SearchState& state);
    // Runs the listing of the found list again, with the criteria now on the screen.
    void listAgain();

signals:
    // A found act was double-clicked.
    void actChosen(qint64 number);
    void quitRequested();
    // The found list now holds a listing's result (true), or none (false: cleared, or being made).
    void foundListChanged(bool listed);

private:
    void buildUi();
    void runListing(ListingKind kind);
    void showCountAndTotal(const QString& count, const QString& euros, const QString& francs);
    void clearSearch();
    void openFoundAct(const QModelIndex& index);

    std::unique_ptr<Ui::SearchPanel> m_ui;
    SharedDatabase& m_database;
    ListingModel* m_found = nullptr;
    ListingKind m_lastKind = ListingKind::Search; // of the listing last run or restored

    QLineEdit* m_txtDate1 = nullptr;
    QLineEdit* m_txtDate2 = nullptr;
    QComboBox* m_cmbPrat1 = nullptr;
    QComboBox* m_cmbPrat2 = nullptr;
    QComboBox* m_cmbActes = nullptr;
    QComboBox* m_cmbNF = nullptr;
    QLineEdit* m_txtPatiente = nullptr;
    QListView* m_foundNumbers = nullptr;
    QListView* m_foundList = nullptr;
    QLabel* m_foundCount = nullptr;
    QLabel* m_totalCaption = nullptr;
    QLabel* m_lblTotalActes = nullptr;
    QLabel* m_lblTotalActesF = nullptr;
};

// The shared database of the search screen, opened again when it is missing; nothing (and a
// message) on failure.
std::shared_ptr<class Store> searchStore(QWidget* parent, SharedDatabase& database);

} // namespace obs
